// Items kept in memory after they were extracted, shared by all requests and
// bounded by a budget in bytes: the least recently used go first. Safe to use
// from any thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace browse {

class item_cache {
public:
    // A budget of 0 keeps nothing.
    explicit item_cache(std::uint64_t budget) : budget_(budget) {}
    item_cache(const item_cache&) = delete;
    item_cache& operator=(const item_cache&) = delete;

    std::uint64_t budget() const { return budget_; }

    // The item's bytes, now the most recently used; null when not kept.
    std::shared_ptr<const std::string> find(std::uint32_t index);

    // Keeps the item as the most recently used, letting the least recently used
    // go until it fits; an item larger than the budget is not kept.
    void insert(std::uint32_t index, std::shared_ptr<const std::string> bytes);

    // Bytes held now.
    std::uint64_t used() const;

private:
    struct entry {
        std::shared_ptr<const std::string> bytes;
        std::list<std::uint32_t>::iterator place;
    };

    const std::uint64_t budget_;
    mutable std::mutex mutex_;  // guards everything below
    std::list<std::uint32_t> order_;  // most recently used first
    std::unordered_map<std::uint32_t, entry> entries_;
    std::uint64_t used_ = 0;
};

}  // namespace browse
