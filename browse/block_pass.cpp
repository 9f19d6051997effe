// The worker's pass over a block.
#include "browse/block_pass.h"

#include <algorithm>
#include <exception>
#include <string_view>

namespace browse {

block_pass::block_pass(std::vector<std::uint32_t> items, item_password password, item_cache& cache,
                       archive::extraction_pool& pool, archive::items_sink* tap)
    : items_(std::move(items)), password_(std::move(password)), cache_(cache), pool_(pool), tap_(tap)
{
}

bool block_pass::join(std::uint32_t index, std::shared_ptr<item_receiver> receiver, const item_password& password)
{
    std::lock_guard lock(mutex_);
    if (ending_ || password != password_)
        return false;
    if (keeping_ == index) {
        late_.push_back(std::move(receiver));
        return true;
    }
    const auto place = std::find(items_.begin() + static_cast<std::ptrdiff_t>(position_), items_.end(), index);
    if (place == items_.end())
        return false;
    waiting_[index].push_back(std::move(receiver));
    return true;
}

void block_pass::run(archive::archive_file* archive)
{
    archive_ = archive;
    if (archive)
        archive->extract_items(items_, *this, password_);
    std::map<std::uint32_t, std::vector<std::shared_ptr<item_receiver>>> left;
    archive::item_status status = archive::item_status::failed;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        left.swap(waiting_);
        // Joined an item the library never ended (the pass was stopped).
        for (auto& receiver : late_)
            left[keeping_.value_or(0)].push_back(std::move(receiver));
        late_.clear();
        keeping_.reset();
        if (password_failure_ != archive::item_status::ok)
            status = password_failure_;
    }
    for (auto& [index, receivers] : left)
        for (const auto& receiver : receivers)
            receiver->finish(status);
}

archive::item_sink* block_pass::begin_item(std::uint32_t index)
{
    {
        std::lock_guard lock(mutex_);
        while (position_ < items_.size() && items_[position_] != index)
            ++position_;
        position_ = std::min(position_ + 1, items_.size());
        if (auto found = waiting_.find(index); found != waiting_.end()) {
            receivers_ = std::move(found->second);
            waiting_.erase(found);
        }
        if (!receivers_.empty())
            ahead_ = 0;
    }
    std::uint64_t recorded = 0;
    size_ = archive_->item_size(index, recorded) ? std::optional(recorded) : std::nullopt;
    for (const auto& receiver : current_receivers())
        receiver->begin(size_);
    // Items of up to a sixteenth of the budget are kept: many pictures fit, and
    // one large video does not push them all out (nor pin memory while it plays).
    // A kept item's buffer is reserved whole, so the receivers are handed views
    // of it that stay put while it fills.
    // A search's pass keeps only what a request waits for.
    tap_item_ = tap_ ? tap_->begin_item(index) : nullptr;
    kept_.reset();
    if (size_ && *size_ <= cache_.budget() / 16 && (!tap_ || !current_receivers().empty())) {
        try {
            kept_ = std::make_shared<std::string>();
            kept_->reserve(static_cast<std::size_t>(*size_));
        } catch (const std::exception&) {
            kept_.reset();
        }
    }
    if (kept_) {
        std::lock_guard lock(mutex_);
        keeping_ = index;
    }
    return current_receivers().empty() && !kept_ && !tap_item_ ? nullptr : this;
}

std::vector<std::shared_ptr<item_receiver>> block_pass::current_receivers()
{
    std::lock_guard lock(mutex_);
    return receivers_;
}

void block_pass::admit_late(bool closing)
{
    std::vector<std::shared_ptr<item_receiver>> late;
    {
        std::lock_guard lock(mutex_);
        late.swap(late_);
        if (closing)
            keeping_.reset();
    }
    for (const auto& receiver : late) {
        receiver->begin(size_);
        if (!kept_->empty() && !receiver->write_kept(kept_, std::string_view(*kept_))) {
            receiver->finish(archive::item_status::aborted);
            continue;
        }
        std::lock_guard lock(mutex_);
        receivers_.push_back(receiver);
    }
}

bool block_pass::write(const char* data, std::size_t size)
{
    // More bytes than the archive records: the item is not kept (the
    // receivers see the overrun themselves).
    if (kept_) {
        const bool overrun = kept_->size() + size > kept_->capacity();
        admit_late(overrun);
        if (overrun)
            kept_.reset();
    }
    std::string_view kept_bytes;
    if (kept_) {
        kept_bytes = std::string_view(kept_->data() + kept_->size(), size);
        kept_->append(data, size);
    }
    // A receiver that wants no more (its client has gone, its range is done,
    // its budget is spent) is finished and drops out; the pass goes on for the
    // others and for the cache.
    // Written without the lock: a receiver may wait for its slow client.
    for (const auto& receiver : current_receivers()) {
        if (kept_ ? receiver->write_kept(kept_, kept_bytes) : receiver->write(data, size))
            continue;
        receiver->finish(archive::item_status::aborted);
        std::lock_guard lock(mutex_);
        std::erase(receivers_, receiver);
    }
    if (tap_item_ && !tap_item_->write(data, size))
        tap_item_ = nullptr;
    std::lock_guard lock(mutex_);
    ahead_ += size;
    // A search that has stopped, with nobody else to decode for, ends the pass.
    return !(tap_ && !tap_->wanted() && receivers_.empty() && waiting_.empty() && !kept_);
}

void block_pass::end_item(std::uint32_t index, archive::item_status status)
{
    // Into the cache before late requests are closed out, so that one that
    // finds neither the cache nor the pass open can look in the cache again.
    std::uint64_t size = 0;
    if (kept_ && status == archive::item_status::ok && archive_->item_size(index, size) && kept_->size() == size)
        cache_.insert(index, kept_, password_asked_ ? password_ : std::nullopt);
    if (kept_)
        admit_late(true);
    kept_.reset();
    std::vector<std::shared_ptr<item_receiver>> ending;
    {
        std::lock_guard lock(mutex_);
        ending.swap(receivers_);
        if (status == archive::item_status::password_needed || status == archive::item_status::wrong_password)
            password_failure_ = status;
    }
    for (const auto& receiver : ending)
        receiver->finish(status);
    tap_item_ = nullptr;
    if (tap_)
        tap_->end_item(index, status);
    // An item that only the library tested, never begun, fails its requests.
    std::vector<std::shared_ptr<item_receiver>> never_begun;
    {
        std::lock_guard lock(mutex_);
        if (auto found = waiting_.find(index); found != waiting_.end()) {
            never_begun = std::move(found->second);
            waiting_.erase(found);
        }
    }
    for (const auto& receiver : never_begun)
        receiver->finish(status == archive::item_status::ok ? archive::item_status::failed : status);
}

void block_pass::password_asked()
{
    password_asked_ = true;
    if (tap_)
        tap_->password_asked();
}

bool block_pass::wanted()
{
    // The library may ask from another thread than the one that writes.
    const std::vector<std::shared_ptr<item_receiver>> receivers = current_receivers();
    if (std::any_of(receivers.begin(), receivers.end(), [](const auto& receiver) { return receiver->wanted(); }))
        return true;
    if (tap_ && tap_->wanted())
        return true;
    std::lock_guard lock(mutex_);
    if (!waiting_.empty())
        return true;
    // Read-ahead: only in a block, while nobody waits for a worker, and within
    // the window.
    const bool ahead = !tap_ && items_.size() > 1 && cache_.budget() > 0 && ahead_ < cache_.budget() / 2 &&
                       !pool_.has_waiting_jobs();
    if (!ahead)
        ending_ = true;  // from now on requests start passes of their own
    return ahead;
}

}  // namespace browse
