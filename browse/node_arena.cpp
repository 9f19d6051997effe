// Block allocation for tree nodes.
#include "browse/node_arena.h"

#include <algorithm>

namespace browse {

void* node_arena::allocate(std::size_t size)
{
    size = round_up(size);
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < size) {
        // Blocks double from small to large, so that a small tree stays small.
        std::size_t capacity = blocks_.empty() ? first_block_size : std::min(blocks_.back().capacity * 2, max_block_size);
        capacity = std::max(capacity, size);
        // new[] of std::byte is suitably aligned for any object of up to that size.
        blocks_.push_back({std::unique_ptr<std::byte[]>(new std::byte[capacity]), capacity, 0});
    }
    block& b = blocks_.back();
    void* place = b.bytes.get() + b.used;
    b.used += size;
    return place;
}

}  // namespace browse
