// Finds a child by its parent and name in a probe or two: one open-addressing
// table over every parent-child link of the content tree. Each slot keeps the
// full hash beside the node, so probes and growth rarely touch a node at all.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace browse {

class content_node;

class child_index {
public:
    static std::size_t hash_of(const content_node* parent, std::string_view name);

    // The child of `parent` named `name` whose hash_of is `hash`, or null.
    content_node* find(const content_node* parent, std::string_view name, std::size_t hash) const;

    // Adds a child that find does not know yet.
    void insert(content_node* child, std::size_t hash);

private:
    struct slot {
        std::size_t hash;
        content_node* node;  // null: empty
    };

    void grow();

    std::vector<slot> slots_;  // a power of two in size, at most half full
    std::size_t count_ = 0;
};

}  // namespace browse
