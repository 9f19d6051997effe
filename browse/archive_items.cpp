// Serving an item from the cache, from a running pass, or from a new one.
#include "browse/archive_items.h"

namespace browse {

void archive_items::set_layout(block_layout layout)
{
    std::lock_guard lock(mutex_);
    layout_ = std::make_shared<const block_layout>(std::move(layout));
}

std::shared_ptr<const block_layout> archive_items::layout()
{
    std::lock_guard lock(mutex_);
    return layout_;
}

void archive_items::search_block(std::uint32_t block, archive::archive_file& archive, archive::items_sink& tap,
                                 const item_password& password)
{
    std::shared_ptr<block_pass> pass;
    {
        std::lock_guard lock(mutex_);
        pass = std::make_shared<block_pass>(layout_->items_of(block), password, cache_, pool_, &tap);
        running_[block] = pass;
        ++passes_started_;
    }
    pass->run(&archive);
}

void archive_items::fetch(std::uint32_t index, std::shared_ptr<item_receiver> receiver,
                          const item_password& password)
{
    std::shared_ptr<const std::string> bytes = cache_.find(index, password);
    std::shared_ptr<block_pass> pass;
    if (!bytes) {
        std::lock_guard lock(mutex_);
        const std::optional<std::uint32_t> block = layout_ ? layout_->block_of(index) : std::nullopt;
        if (block) {
            if (auto running = running_[*block].lock(); running && running->join(index, receiver, password))
                return;
        }
        // A pass may have finished the item since the first look.
        bytes = cache_.find(index, password);
        if (!bytes) {
            std::vector<std::uint32_t> items = block ? layout_->items_of(*block) : std::vector<std::uint32_t>{index};
            pass = std::make_shared<block_pass>(std::move(items), password, cache_, pool_);
            pass->join(index, std::move(receiver), password);
            if (block)
                running_[*block] = pass;
            ++passes_started_;
        }
    }
    if (bytes) {
        receiver->take_whole(std::move(bytes));
        return;
    }
    pool_.submit([pass](archive::archive_file* archive) { pass->run(archive); });
}

std::uint64_t archive_items::passes_started()
{
    std::lock_guard lock(mutex_);
    return passes_started_;
}

}  // namespace browse
