// What the router reports while it serves: abstract, because writing to the
// console is the program's business, not the router's.
#pragma once

#include <string_view>

#include "archive/item_sink.h"

namespace browse {

class request_log {
public:
    virtual ~request_log() = default;

    // A request's decoded path, as soon as it is known.
    virtual void request_decoded(std::string_view path) = 0;

    // An item whose extraction failed with a result of the library's own.
    virtual void item_failed(archive::item_status status) = 0;

    // A download of many items (a zip) that was cut short at `item` (its path
    // in the archive), which failed with `status`. From any thread; a log
    // that does not name items notes the failure alone.
    virtual void download_cut(std::string_view item, archive::item_status status)
    {
        (void)item;
        item_failed(status);
    }
};

}  // namespace browse
