// The items under a folder, and decoding them in passes that go on past where one stopped.
#include "browse/item_walk.h"

#include <algorithm>

#include "archive/item_names.h"
#include "browse/json_text.h"

namespace browse {

void append_item_key(std::string& out, const std::string& path)
{
    const std::string shown = archive::shown_name(path);
    out += "{\"item\":";
    append_json_string(out, shown);
    if (shown != path && archive::is_utf8(path)) {
        out += ",\"address\":";
        append_json_string(out, path);
    }
}

bool progress_pace::due(bool now)
{
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - last_ < std::chrono::milliseconds(250))
        return false;
    last_ = time;
    return true;
}

void append_progress_line(std::string& out, std::uint64_t items, std::uint64_t bytes, std::uint64_t of_items,
                          std::uint64_t of_bytes)
{
    out += "{\"progress\":{\"items\":";
    append_json_number(out, items);
    out += ",\"bytes\":";
    append_json_number(out, bytes);
    out += ",\"of_items\":";
    append_json_number(out, of_items);
    out += ",\"of_bytes\":";
    append_json_number(out, of_bytes);
    out += "}}\n";
}

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

void item_walk::decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                       const item_password& password)
{
    std::vector<std::uint32_t> left = indices;
    while (!left.empty() && !stopped()) {
        archive.extract_items(left, *this, password);
        // A pass that the library ended early goes on after the item it ended in.
        std::vector<std::uint32_t> rest;
        bool passed_first_left = false;
        for (const std::uint32_t index : left) {
            if (ended(index))
                continue;
            if (!passed_first_left) {
                passed_first_left = true;
                skip(index);  // where the pass stopped: it cannot be decoded
                continue;
            }
            rest.push_back(index);
        }
        left = std::move(rest);
    }
}

}  // namespace browse
