// Extracting an item of the open archive into a reply body.
#include "browse/archive_items.h"

#include <exception>

namespace browse {
namespace {

// Claimed sizes above this are not trusted enough to reserve memory for.
constexpr std::uint64_t max_reservation = std::uint64_t{1} << 36;

}  // namespace

archive::item_status archive_items::fetch(std::uint32_t index, std::string& body)
{
    // Room for the whole item at once, so that a large item is not copied again
    // and again while it grows; a failed reservation leaves it to appending.
    std::uint64_t size = 0;
    if (archive_.item_size(index, size) && size <= max_reservation) {
        try {
            body.reserve(body.size() + static_cast<std::size_t>(size));
        } catch (const std::exception&) {
        }
    }
    archive::string_sink sink(body);
    return archive_.extract(index, sink);
}

}  // namespace browse
