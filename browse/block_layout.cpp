// Grouping items by their block.
#include "browse/block_layout.h"

#include <unordered_map>

namespace browse {

block_layout::block_layout(const std::vector<archive::item_details>& details) : block_of_(details.size(), alone)
{
    std::unordered_map<std::uint32_t, std::uint32_t> ours;  // the archive's block number to ours
    for (std::uint32_t index = 0; index < details.size(); ++index) {
        const archive::item_details& item = details[index];
        if (!item.has_block || item.is_folder)
            continue;
        auto [place, added] = ours.try_emplace(item.block, static_cast<std::uint32_t>(blocks_.size()));
        if (added)
            blocks_.emplace_back();
        blocks_[place->second].push_back(index);
        block_of_[index] = place->second;
    }
}

std::optional<std::uint32_t> block_layout::block_of(std::uint32_t index) const
{
    if (index >= block_of_.size() || block_of_[index] == alone)
        return std::nullopt;
    return block_of_[index];
}

}  // namespace browse
