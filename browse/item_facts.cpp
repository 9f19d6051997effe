// The facts of items, kept compact: a bit and a size per item, and the links apart.
#include "browse/item_facts.h"

namespace browse {

item_facts::item_facts(const std::vector<archive::item_details>& details) : encrypted_(details.size()), sizes_(details.size())
{
    for (std::uint32_t index = 0; index < details.size(); ++index) {
        const archive::item_details& item = details[index];
        encrypted_[index] = item.encrypted;
        sizes_[index] = item.has_size ? item.size : 0;
        if (item.link != archive::link_kind::none)
            links_.emplace(index, item_link{item.link, item.link_target});
    }
}

const item_link* item_facts::link(std::uint32_t index) const
{
    const auto found = links_.find(index);
    return found == links_.end() ? nullptr : &found->second;
}

}  // namespace browse
