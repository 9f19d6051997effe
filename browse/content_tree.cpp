// The archive content tree: splitting, insertion and lookup.
#include "browse/content_tree.h"

#include "browse/copy_names.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace browse {

content_node::content_node(std::size_t name_size, content_node* parent)
    : parent_(parent), name_size_(static_cast<std::uint32_t>(name_size))
{
}

namespace {

// A child to sort, with up to eight bytes of its name, taken after the prefix
// that all siblings share, packed big-endian: comparing keys orders most pairs
// without touching the names themselves, which lie all over memory.
struct sort_entry {
    std::uint64_t key;
    content_node* node;
};

std::uint64_t name_key(std::string_view name, std::size_t shared_prefix)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        std::size_t pos = shared_prefix + i;
        key = (key << 8) | (pos < name.size() ? static_cast<unsigned char>(name[pos]) : 0u);
    }
    return key;
}

// Sorts nodes by name: a shorter name sorts before a longer one it begins,
// and a zero byte pads a key, so equal keys fall back to the whole names.
void sort_by_name(std::vector<content_node*>& nodes, std::size_t shared_prefix)
{
    std::vector<sort_entry> entries;
    entries.reserve(nodes.size());
    for (content_node* node : nodes)
        entries.push_back({name_key(node->name(), shared_prefix), node});
    std::sort(entries.begin(), entries.end(), [](const sort_entry& a, const sort_entry& b) {
        if (a.key != b.key)
            return a.key < b.key;
        return a.node->name() < b.node->name();
    });
    for (std::size_t i = 0; i < nodes.size(); ++i)
        nodes[i] = entries[i].node;
}

}  // namespace

const std::vector<content_node*>& content_node::children() const
{
    if (!children_sorted_) {
        sort_by_name(children_, children_shared_prefix_);
        children_sorted_ = true;
    }
    return children_;
}

const content_node* content_node::find_child(std::string_view name) const
{
    const auto& list = children();
    auto it = std::lower_bound(list.begin(), list.end(), name,
                               [](const content_node* child, std::string_view wanted) {
                                   return child->name() < wanted;
                               });
    if (it == list.end() || (*it)->name() != name)
        return nullptr;
    return *it;
}

namespace {

// The components of a path as views into it; split_path's rules.
void split_path_views(std::string_view path, std::vector<std::string_view>& components)
{
    components.clear();
    std::size_t start = 0;
    for (std::size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/' && path[pos] != '\\')
            continue;
        std::string_view component = path.substr(start, pos - start);
        start = pos + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!components.empty())
                components.pop_back();
            continue;
        }
        components.push_back(component);
    }
}

}  // namespace

void split_path(std::string_view path, std::vector<std::string>& components)
{
    std::vector<std::string_view> views;
    split_path_views(path, views);
    components.assign(views.begin(), views.end());
}

content_tree::content_tree(std::string_view root) : root_(make_node(root, nullptr)) {}

path_end follow_path(const content_tree& tree, const std::vector<std::string>& components, std::size_t first)
{
    const content_node* node = &tree.root();
    std::size_t used = first;
    while (used < components.size()) {
        if (node != &tree.root() && node->holds_item() && node->children().empty())
            break;  // the rest is a path inside this item
        node = node->find_child(components[used]);
        if (!node)
            return {nullptr, used};
        ++used;
    }
    return {node, used};
}

content_tree::~content_tree()
{
    arena_.for_each([](std::byte* place) {
        auto* node = reinterpret_cast<content_node*>(place);
        std::size_t size = sizeof(content_node) + node->name_size_;
        node->~content_node();
        return size;
    });
}

content_node* content_tree::make_node(std::string_view name, content_node* parent)
{
    void* place = arena_.allocate(sizeof(content_node) + name.size());
    auto* node = new (place) content_node(name.size(), parent);
    std::memcpy(reinterpret_cast<char*>(node + 1), name.data(), name.size());
    return node;
}

content_node& content_tree::find_or_add_child(content_node& parent, std::string_view name)
{
    const std::size_t hash = child_index::hash_of(&parent, name);
    if (content_node* found = children_index_.find(&parent, name, hash))
        return *found;

    content_node& child = *make_node(name, &parent);
    children_index_.insert(&child, hash);
    if (parent.children_.empty()) {
        parent.children_shared_prefix_ = static_cast<std::uint16_t>(std::min<std::size_t>(name.size(), 0xFFFF));
    } else {
        std::string_view first = parent.children_.front()->name();
        std::size_t shared = 0;
        while (shared < parent.children_shared_prefix_ && shared < name.size() && name[shared] == first[shared])
            ++shared;
        parent.children_shared_prefix_ = static_cast<std::uint16_t>(shared);
        if (parent.children_sorted_ && parent.children_.back()->name() > name)
            parent.children_sorted_ = false;
    }
    parent.children_.push_back(&child);
    return child;
}

std::vector<std::uint32_t>& content_tree::displaced_at(content_node& node)
{
    const auto [place, added] = displaced_.try_emplace(&node);
    if (added)
        shared_paths_.push_back(&node);
    return place->second;
}

void content_tree::add_item(std::string_view path, std::uint32_t item_index, bool is_folder)
{
    split_path_views(path, scratch_components_);
    content_node* node = root_;
    for (std::string_view component : scratch_components_) {
        if (node != root_ && node->holds_item_ && !node->item_is_folder_)
            (void)displaced_at(*node);  // a file on the way to deeper items
        node = &find_or_add_child(*node, component);
    }
    if (node != root_) {
        const bool holds_file = node->holds_item_ && !node->item_is_folder_;
        if (!is_folder && node->holds_item_ && node->item_is_folder_) {
            displaced_at(*node).push_back(item_index);  // the folder entry keeps the path
            return;
        }
        if (holds_file)
            displaced_at(*node).push_back(node->item_index_);
        else if (!is_folder && !node->children_.empty())
            (void)displaced_at(*node);
    }
    node->item_index_ = item_index;
    node->holds_item_ = true;
    node->item_is_folder_ = is_folder;
}

content_node& content_tree::add_copy(content_node& parent, std::string_view name, std::size_t copy,
                                     std::size_t copies)
{
    for (std::size_t attempt = 0;; ++attempt) {
        const std::string candidate = copy_name(name, copy, copies, attempt);
        if (!children_index_.find(&parent, candidate, child_index::hash_of(&parent, candidate)))
            return find_or_add_child(parent, candidate);
    }
}

void content_tree::place_copies()
{
    for (content_node* node : shared_paths_) {
        std::vector<std::uint32_t>& files = displaced_[node];
        const bool is_folder = !node->children_.empty() || (node->holds_item_ && node->item_is_folder_);
        if (is_folder && node->holds_item_ && !node->item_is_folder_) {
            files.push_back(node->item_index_);  // the folder takes the path from the file
            node->holds_item_ = false;
            node->item_index_ = 0;
        }
        const std::size_t copies = files.size() + (is_folder ? 0 : 1);
        for (std::size_t i = 0; i < files.size(); ++i) {
            content_node& copy = add_copy(*node->parent_, node->name(), i + 1, copies);
            copy.item_index_ = files[i];
            copy.holds_item_ = true;
        }
    }
    shared_paths_.clear();
    displaced_.clear();
}

const content_node* content_tree::find_node(const std::vector<std::string>& components) const
{
    const content_node* node = &root();
    for (std::size_t i = 1; i < components.size() && node; ++i)
        node = node->find_child(components[i]);
    return node;
}

}  // namespace browse
