// Storage of the content tree's nodes: each node with its name right behind it,
// in large blocks that the tree frees all at once. A node and its name share
// cache lines, and freeing the tree never recurses, however deep it is.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace browse {

class node_arena {
public:
    node_arena() = default;
    node_arena(const node_arena&) = delete;
    node_arena& operator=(const node_arena&) = delete;

    // Room for `size` bytes, aligned for any node; owned by the arena.
    void* allocate(std::size_t size);

    // Calls `visit` with the start of every allocation, in allocation order; the
    // visitor gives back that allocation's size.
    template <typename visitor>
    void for_each(visitor visit) const
    {
        for (const block& b : blocks_)
            for (std::size_t offset = 0; offset < b.used;)
                offset += round_up(visit(b.bytes.get() + offset));
    }

    static constexpr std::size_t round_up(std::size_t size) { return (size + alignment - 1) & ~(alignment - 1); }

private:
    static constexpr std::size_t alignment = alignof(std::max_align_t);
    static constexpr std::size_t first_block_size = 1 << 10;
    static constexpr std::size_t max_block_size = 1 << 20;

    struct block {
        std::unique_ptr<std::byte[]> bytes;
        std::size_t capacity;
        std::size_t used;
    };
    std::vector<block> blocks_;
};

}  // namespace browse
