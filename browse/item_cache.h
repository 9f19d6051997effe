// Items kept in memory after they were extracted, shared by all requests and
// bounded by a budget in bytes: the least recently used go first. An item that
// was decoded with a password a request brought is kept for requests with that
// same password only. Safe to use from any thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
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

    // The item's bytes, now the most recently used; null when not kept, or kept
    // for another password than `password`.
    std::shared_ptr<const std::string> find(std::uint32_t index, const std::optional<std::string>& password = {});

    // Keeps the item as the most recently used, letting the least recently used
    // go until it fits; an item larger than the budget is not kept. With
    // `password`, it is found only by requests that bring the same.
    void insert(std::uint32_t index, std::shared_ptr<const std::string> bytes,
                std::optional<std::string> password = {});

    // Bytes held now.
    std::uint64_t used() const;

private:
    struct entry {
        std::shared_ptr<const std::string> bytes;
        std::list<std::uint32_t>::iterator place;
        std::optional<std::string> password;  // none: for every request
    };

    const std::uint64_t budget_;
    mutable std::mutex mutex_;  // guards everything below
    std::list<std::uint32_t> order_;  // most recently used first
    std::unordered_map<std::uint32_t, entry> entries_;
    std::uint64_t used_ = 0;
};

}  // namespace browse
