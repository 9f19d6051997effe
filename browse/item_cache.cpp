// The least-recently-used order of the cache.
#include "browse/item_cache.h"

namespace browse {

std::shared_ptr<const std::string> item_cache::find(std::uint32_t index, const std::optional<std::string>& password)
{
    std::lock_guard lock(mutex_);
    auto found = entries_.find(index);
    if (found == entries_.end() || (found->second.password && found->second.password != password))
        return nullptr;
    order_.splice(order_.begin(), order_, found->second.place);
    return found->second.bytes;
}

void item_cache::insert(std::uint32_t index, std::shared_ptr<const std::string> bytes,
                        std::optional<std::string> password)
{
    if (bytes->size() > budget_)
        return;
    std::lock_guard lock(mutex_);
    if (auto found = entries_.find(index); found != entries_.end()) {
        used_ -= found->second.bytes->size();
        order_.erase(found->second.place);
        entries_.erase(found);
    }
    while (used_ + bytes->size() > budget_) {
        auto oldest = entries_.find(order_.back());
        used_ -= oldest->second.bytes->size();
        entries_.erase(oldest);
        order_.pop_back();
    }
    order_.push_front(index);
    used_ += bytes->size();
    entries_.emplace(index, entry{std::move(bytes), order_.begin(), std::move(password)});
}

std::uint64_t item_cache::used() const
{
    std::lock_guard lock(mutex_);
    return used_;
}

}  // namespace browse
