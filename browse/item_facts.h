// What the router serves items by besides their names, learnt from the
// archive's details once they are read: which items are encrypted, and which
// are links and to what. Made once, then only read (from any thread).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/item_details.h"

namespace browse {

struct item_link {
    archive::link_kind kind;
    std::string target;  // empty for a symbolic link whose target is only its data
};

class item_facts {
public:
    explicit item_facts(const std::vector<archive::item_details>& details);

    bool encrypted(std::uint32_t index) const { return index < encrypted_.size() && encrypted_[index]; }

    // The item's size as the archive records it; 0 when it records none.
    std::uint64_t size(std::uint32_t index) const { return index < sizes_.size() ? sizes_[index] : 0; }

    // The item's link, or null when it is none.
    const item_link* link(std::uint32_t index) const;

private:
    std::vector<bool> encrypted_;
    std::vector<std::uint64_t> sizes_;
    std::unordered_map<std::uint32_t, item_link> links_;  // few items are links
};

}  // namespace browse
