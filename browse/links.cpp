// Following an item's links through the tree.
#include "browse/links.h"

#include <optional>
#include <vector>

namespace browse {
namespace {

constexpr int most_hard_link_steps = 8;

// The item at `path` from the archive's root, as hard links name their targets.
std::optional<std::uint32_t> item_at(const content_tree& tree, const std::string& path)
{
    std::vector<std::string> components;
    split_path(path, components);
    if (components.empty())
        return std::nullopt;
    components.insert(components.begin(), std::string(root_name));
    const content_node* node = tree.find_node(components);
    if (!node || !node->holds_item())
        return std::nullopt;
    return node->item_index();
}

}  // namespace

link_resolution resolve_links(const content_tree& tree, const item_facts& facts, std::uint32_t index)
{
    link_resolution resolution;
    resolution.item = index;
    for (int step = 0;; ++step) {
        const item_link* link = facts.link(resolution.item);
        if (!link)
            return resolution;
        if (link->kind == archive::link_kind::symbolic) {
            resolution.as_text = true;
            if (!link->target.empty())
                resolution.target = std::make_shared<const std::string>(link->target);
            return resolution;
        }
        const std::optional<std::uint32_t> target = item_at(tree, link->target);
        if (!target || step == most_hard_link_steps) {
            resolution.found = false;
            return resolution;
        }
        resolution.item = *target;
    }
}

}  // namespace browse
