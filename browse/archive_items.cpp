// One extraction job: the item's size, then its bytes, then its result.
#include "browse/archive_items.h"

namespace browse {

void archive_items::fetch(std::uint32_t index, std::shared_ptr<item_receiver> receiver)
{
    pool_.submit([index, receiver = std::move(receiver)](archive::archive_file* archive) {
        if (!archive) {
            receiver->finish(archive::item_status::failed);
            return;
        }
        std::uint64_t size = 0;
        receiver->begin(archive->item_size(index, size) ? std::optional(size) : std::nullopt);
        // A client that left before its job started costs no extraction.
        if (!receiver->wanted()) {
            receiver->finish(archive::item_status::aborted);
            return;
        }
        receiver->finish(archive->extract(index, *receiver));
    });
}

}  // namespace browse
