// Admitting searches and handing out turns.
#include "browse/search_workers.h"

#include <algorithm>

namespace browse {

search_workers::search_workers(archive::extraction_pool& pool, std::size_t workers)
    : pool_(pool), workers_for_searches_(std::max<std::size_t>(1, workers - 1))
{
}

void search_workers::start(std::shared_ptr<worker_job> search)
{
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(search));
    hand_out();
}

void search_workers::hand_out()
{
    while (running_.size() < at_once && !waiting_.empty()) {
        running_.push_back({std::move(waiting_.front())});
        waiting_.pop_front();
    }
    while (turns_ < workers_for_searches_) {
        std::size_t chosen = running_.size();
        for (std::size_t step = 0; step < running_.size(); ++step) {
            const std::size_t at = (rotation_ + step) % running_.size();
            if (!running_[at].in_turn) {
                chosen = at;
                break;
            }
        }
        if (chosen == running_.size())
            return;
        rotation_ = chosen + 1;
        running_[chosen].in_turn = true;
        ++turns_;
        pool_.submit([this, search = running_[chosen].search](archive::archive_file* top) {
            const bool more = search->run_turn(top);
            turn_ended(search, more);
        });
    }
}

void search_workers::turn_ended(const std::shared_ptr<worker_job>& search, bool more)
{
    if (!more)
        search->finish();
    std::lock_guard lock(mutex_);
    --turns_;
    const auto found = std::find_if(running_.begin(), running_.end(),
                                    [&search](const running& entry) { return entry.search == search; });
    if (found != running_.end()) {
        if (more)
            found->in_turn = false;
        else
            running_.erase(found);
    }
    hand_out();
}

}  // namespace browse
