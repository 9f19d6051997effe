// Where the router gets archive items from: abstract so that the routes can be
// tested with a stand-in, without the plug-in library.
#pragma once

#include <cstdint>
#include <string>

#include "archive/item_sink.h"

namespace browse {

class item_source {
public:
    virtual ~item_source() = default;

    // Appends the bytes of item `index` to `body` and tells how the extraction
    // ended; anything but ok means the bytes must not be served.
    virtual archive::item_status fetch(std::uint32_t index, std::string& body) = 0;
};

}  // namespace browse
