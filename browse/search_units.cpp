// Planning and running the turns of a search.
#include "browse/search_units.h"

#include <map>

namespace browse {
namespace {

// Drops the folders among `items`; the sum of the others' recorded sizes.
std::uint64_t drop_folders(archive::archive_file& archive, std::vector<search_item>& items)
{
    std::erase_if(items, [&archive](const search_item& item) { return archive.item_is_folder(item.index); });
    std::uint64_t total = 0;
    for (const search_item& item : items) {
        std::uint64_t size = 0;
        if (archive.item_size(item.index, size))
            total += size;
    }
    return total;
}

// Every item of the unit that the turn did not reach is skipped: it cannot be decoded.
void skip_left(item_walk& search, const std::vector<std::uint32_t>& indices)
{
    for (const std::uint32_t index : indices)
        search.skip(index);
}

}  // namespace

std::uint64_t served_archive_units::prepare(archive::archive_file* top, std::vector<search_item>& items)
{
    if (!top)
        return 0;
    const std::uint64_t total = drop_folders(*top, items);
    const std::shared_ptr<const block_layout> layout = items_.layout();
    std::map<std::uint32_t, std::size_t> unit_of_block;  // so that no block is decoded twice
    for (search_item& item : items) {
        item.encrypted = facts_ && facts_->encrypted(item.index);
        if (item.encrypted && no_password_) {
            skipped_.push_back(item.index);
            continue;
        }
        std::uint64_t size = 0;
        top->item_size(item.index, size);
        const std::optional<std::uint32_t> block = layout ? layout->block_of(item.index) : std::nullopt;
        if (block) {
            const auto [place, added] = unit_of_block.emplace(*block, plan_.size());
            if (added)
                plan_.push_back({block, {}, 0});
            plan_[place->second].items.push_back(item.index);
            continue;
        }
        const bool joins_last = !plan_.empty() && !plan_.back().block &&
                                (!layout || (plan_.back().items.size() < run_items && plan_.back().bytes < run_bytes));
        if (!joins_last)
            plan_.push_back({std::nullopt, {}, 0});
        plan_.back().items.push_back(item.index);
        plan_.back().bytes += size;
    }
    return total;
}

bool served_archive_units::run_next(archive::archive_file* top, item_walk& search)
{
    if (next_ == 0)
        skip_left(search, skipped_);
    if (next_ == plan_.size())
        return false;
    const unit& turn = plan_[next_++];
    if (top && turn.block)
        items_.search_block(*turn.block, *top, search, search.password());
    else if (top)
        search.decode(*top, turn.items, search.password());
    if (!search.stopped())
        skip_left(search, turn.items);
    return next_ < plan_.size();
}

void served_archive_units::with_archive(archive::archive_file* top,
                                        const std::function<void(archive::archive_file&)>& use)
{
    if (top)
        use(*top);
}

void inner_archive_units::with_archive(archive::archive_file*, const std::function<void(archive::archive_file&)>& use)
{
    inner_.use(*archive_, use);
}

std::uint64_t inner_archive_units::prepare(archive::archive_file*, std::vector<search_item>& items)
{
    std::uint64_t total = 0;
    inner_.use(*archive_, [&](archive::archive_file& archive) { total = drop_folders(archive, items); });
    return total;
}

bool inner_archive_units::run_next(archive::archive_file*, item_walk& search)
{
    std::vector<std::uint32_t> indices;
    for (const search_item& item : search.items())
        indices.push_back(item.index);
    inner_.use(*archive_, [&](archive::archive_file& archive) { search.decode(archive, indices, search.password()); });
    if (!search.stopped())
        skip_left(search, indices);
    return false;
}

}  // namespace browse
