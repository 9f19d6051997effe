// The archive content tree: every item path of the archive, split into its
// components and hung into a tree of named nodes. A node at which an item's path
// ends remembers that item's index. Filled once while the archive is listed,
// read afterwards by the request handler and the JSON listing.
//
// Several items may share a path (a tar appended to holds every version). The
// plain path keeps the last file inserted there; place_copies, once the
// listing ends, hangs each other file beside it under a copy name of its own.
// A path that is a folder as well keeps the folder: each file at it becomes
// a copy.
//
// Children are kept in byte order of their names (unsigned bytes, shorter prefix
// first). Insertion appends and indexes a child in a tree-wide hash; a node's
// children are put in order the first time they are read, so that filling a
// folder of n names costs O(n log n) in all. Nodes live in the tree's arena, each
// followed by the bytes of its name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "browse/child_index.h"
#include "browse/node_arena.h"

namespace browse {

inline constexpr std::string_view root_name = "ArchiveContent";

class content_node {
public:
    content_node(const content_node&) = delete;
    content_node& operator=(const content_node&) = delete;

    std::string_view name() const { return {reinterpret_cast<const char*>(this + 1), name_size_}; }
    const content_node* parent() const { return parent_; }

    // Children in name order.
    const std::vector<content_node*>& children() const;

    // The child whose name equals `name` byte for byte, or null.
    const content_node* find_child(std::string_view name) const;

    // Index of the archive item whose path ends here; meaningful only when
    // holds_item() is true (nodes made on the way to deeper items hold none).
    std::uint32_t item_index() const { return item_index_; }
    bool holds_item() const { return holds_item_; }
    // Whether the item held here is the archive's entry of a folder.
    bool holds_folder_item() const { return holds_item_ && item_is_folder_; }

private:
    friend class content_tree;

    // Only the tree makes nodes, in its arena, with the name bytes behind them.
    content_node(std::size_t name_size, content_node* parent);
    ~content_node() = default;

    content_node* parent_;
    mutable std::vector<content_node*> children_;
    std::uint32_t item_index_ = 0;
    std::uint32_t name_size_;
    // Bytes that every child's name begins with (capped, as a lower bound is enough).
    std::uint16_t children_shared_prefix_ = 0;
    bool holds_item_ = false;
    bool item_is_folder_ = false;  // the held item is a folder entry
    mutable bool children_sorted_ = true;
};

// Splits a path at every '/' and backslash byte into `components`: empty and "."
// components are dropped, ".." removes the component before it (nothing at the top).
void split_path(std::string_view path, std::vector<std::string>& components);

class content_tree {
public:
    // The root is named `root` (root_name for the served archive, an inner
    // archive's item name for its own tree).
    explicit content_tree(std::string_view root = root_name);
    ~content_tree();
    content_tree(const content_tree&) = delete;
    content_tree& operator=(const content_tree&) = delete;

    const content_node& root() const { return *root_; }

    // Inserts the path and records the index where it ends. Every path is
    // accepted. A later file at the same path takes it over; the one it
    // displaces, and a file at a path that is also a folder, wait for
    // place_copies (a folder entry keeps the path from files). A later folder
    // entry at the same path overwrites the index, as does anything at the root.
    void add_item(std::string_view path, std::uint32_t item_index, bool is_folder = false);

    // Lists every file that waits for a name of its own beside its path, under
    // the first free name of copy_name (the plain path, when a file keeps it,
    // counts as the last copy). Called once, after the last add_item.
    void place_copies();

    // The node that the components lead to, or null. The first component names
    // the root and is not compared; the list holds at least one component.
    const content_node* find_node(const std::vector<std::string>& components) const;

    // The child of `parent` with that name, created in its place when missing.
    content_node& find_or_add_child(content_node& parent, std::string_view name);

private:
    content_node* make_node(std::string_view name, content_node* parent);
    // The files displaced from `node` so far, in the order they came; the
    // node is noted for place_copies.
    std::vector<std::uint32_t>& displaced_at(content_node& node);
    // A new child of `parent` with the first copy name that no child has.
    content_node& add_copy(content_node& parent, std::string_view name, std::size_t copy, std::size_t copies);

    node_arena arena_;
    content_node* root_;
    child_index children_index_;
    std::vector<std::string_view> scratch_components_;
    // Paths that place_copies has to look at, in the order they were noted,
    // and the files displaced from each.
    std::vector<content_node*> shared_paths_;
    std::unordered_map<const content_node*, std::vector<std::uint32_t>> displaced_;
};

// How far a path leads into a tree: `node` is where it stopped (null when a
// component names nothing) and `used` how many components led there.
struct path_end {
    const content_node* node;
    std::size_t used;
};

// Follows `components` from the tree's root, starting at component `first`,
// and stops early at an item that is not a folder (it holds an item and has no
// children): the components after it are a path inside that item.
path_end follow_path(const content_tree& tree, const std::vector<std::string>& components, std::size_t first);

}  // namespace browse
