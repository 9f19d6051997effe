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

    // An item (its path in the archive) that could not be served, and why.
    // From any thread.
    virtual void item_failed(std::string_view item, archive::item_status status) = 0;

    // A download of many items (a zip) that was cut short at `item` (its path
    // in the archive), which failed with `status`. From any thread; a log
    // that does not tell the two apart notes it as the item's failure.
    virtual void download_cut(std::string_view item, archive::item_status status) { item_failed(item, status); }

    // The archive's file changed on disk, so nothing more of it is served.
    // From any thread, as often as a request meets it: a log says it once.
    virtual void archive_changed() {}
    // An archive inside the archive, the item `item`, could not be opened, for `cause`.
    virtual void inner_archive_failed(std::string_view item, std::string_view cause) = 0;
};

}  // namespace browse
