// Where the router gets archive items from: abstract so that the routes can be
// tested with a stand-in, without the plug-in library or threads. A request may
// carry a password for encrypted items; without one, the archive's own serves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive/item_sink.h"

namespace browse {

// The password a request carries (UTF-8); none: the archive's own.
using item_password = std::optional<std::string>;

// What an item source fills, in this order: begin, any number of writes (while
// wanted), finish. Calls may come from any one thread at a time.
class item_receiver : public archive::item_sink {
public:
    // Before the first write: the item's size when the archive records one.
    virtual void begin(std::optional<std::uint64_t> size) = 0;

    // In place of a write: bytes that stay alive and unchanged as long as
    // `owner` does (an item being kept for the cache), so they need no copy.
    virtual bool write_kept(std::shared_ptr<const std::string> /*owner*/, std::string_view bytes)
    {
        return write(bytes.data(), bytes.size());
    }

    // After the last write: how the extraction ended.
    virtual void finish(archive::item_status status) = 0;

    // In place of all of the above: the whole item, already at hand.
    virtual void take_whole(std::shared_ptr<const std::string> bytes) = 0;
};

class item_source {
public:
    virtual ~item_source() = default;

    // Delivers item `index`, decoded with `password`, into `receiver`, now or
    // later, on any thread. Raises only what cannot be handled (memory).
    virtual void fetch(std::uint32_t index, std::shared_ptr<item_receiver> receiver,
                       const item_password& password) = 0;

    // The item's bytes when they are at hand already (cached) for a request
    // with `password`, else null: then the reply needs no extraction and no stream.
    virtual std::shared_ptr<const std::string> at_hand(std::uint32_t, const item_password&) { return nullptr; }
};

}  // namespace browse
