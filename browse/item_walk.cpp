// The items under a node of a tree.
#include "browse/item_walk.h"

#include <algorithm>

namespace browse {

std::optional<std::vector<search_item>> items_under(const content_tree& tree, const std::vector<std::string>& components)
{
    std::vector<std::string> from_root = components;
    from_root.insert(from_root.begin(), std::string(tree.root().name()));
    const content_node* start = tree.find_node(from_root);
    if (!start)
        return std::nullopt;
    std::string prefix;
    for (const std::string& component : components)
        prefix += component + "/";
    std::vector<search_item> items;
    if (start != &tree.root() && start->children().empty()) {
        if (start->holds_item())
            items.push_back({start->item_index(), prefix.substr(0, prefix.size() - 1)});
        return items;
    }
    // Depth first, without recursion: each folder with its path.
    std::vector<std::pair<const content_node*, std::string>> stack{{start, prefix}};
    while (!stack.empty()) {
        auto [node, path] = std::move(stack.back());
        stack.pop_back();
        for (const content_node* child : node->children()) {
            if (!child->children().empty())
                stack.emplace_back(child, path + std::string(child->name()) + "/");
            else if (child->holds_item())
                items.push_back({child->item_index(), path + std::string(child->name())});
        }
    }
    std::sort(items.begin(), items.end(), [](const search_item& a, const search_item& b) { return a.index < b.index; });
    return items;
}

}  // namespace browse
