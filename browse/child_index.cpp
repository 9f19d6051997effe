// Open addressing with linear probing over (parent, name) hashes.
#include "browse/child_index.h"

#include <cstdint>
#include <functional>

#include "browse/content_tree.h"

namespace browse {

std::size_t child_index::hash_of(const content_node* parent, std::string_view name)
{
    std::uint64_t h = std::hash<std::string_view>{}(name);
    h ^= reinterpret_cast<std::uintptr_t>(parent) * 0x9E3779B97F4A7C15ULL;
    // Mix the high bits down: probing starts from the low ones.
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 29;
    return static_cast<std::size_t>(h);
}

content_node* child_index::find(const content_node* parent, std::string_view name, std::size_t hash) const
{
    if (slots_.empty())
        return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].node; i = (i + 1) & mask) {
        const slot& s = slots_[i];
        if (s.hash == hash && s.node->parent() == parent && s.node->name() == name)
            return s.node;
    }
    return nullptr;
}

void child_index::insert(content_node* child, std::size_t hash)
{
    if ((count_ + 1) * 2 > slots_.size())
        grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].node)
        i = (i + 1) & mask;
    slots_[i] = {hash, child};
    ++count_;
}

void child_index::grow()
{
    std::vector<slot> old(slots_.empty() ? 64 : slots_.size() * 2, slot{0, nullptr});
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const slot& s : old) {
        if (!s.node)
            continue;
        std::size_t i = s.hash & mask;
        while (slots_[i].node)
            i = (i + 1) & mask;
        slots_[i] = s;
    }
}

}  // namespace browse
