// Which items share a solid block, and the order the block holds them in. In a
// solid block an item can only be reached by decoding every item before it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/item_details.h"

namespace browse {

class block_layout {
public:
    // From the details of every item, by index: items with the same block
    // number share a block, held in index order. Items without one (formats
    // without blocks, folders, empty files) stand alone.
    explicit block_layout(const std::vector<archive::item_details>& details);
    block_layout() = default;

    // The block of the item, or nothing when it stands alone.
    std::optional<std::uint32_t> block_of(std::uint32_t index) const;

    // The items of a block, in the order it holds them.
    const std::vector<std::uint32_t>& items_of(std::uint32_t block) const { return blocks_[block]; }

private:
    static constexpr std::uint32_t alone = UINT32_MAX;
    std::vector<std::uint32_t> block_of_;  // by item index
    std::vector<std::vector<std::uint32_t>> blocks_;
};

}  // namespace browse
