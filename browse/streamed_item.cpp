// The queue between an extracting worker and a connection.
#include "browse/streamed_item.h"

#include <algorithm>
#include <new>

#include "archive/extraction_pool.h"

namespace browse {

using http::stream_event;

streamed_item::streamed_item(item_request terms, request_log& log) : terms_(std::move(terms)), log_(log)
{
}

void streamed_item::prepare_head(std::uint64_t size)
{
    size_ = size;
    item_head prepared = make_item_head(size, terms_);
    head_ = std::move(prepared.head);
    span_ = prepared.span;
    body_length_ = prepared.body_length;
    if (!prepared.satisfiable)
        finished_ = ok_ = true;  // nothing to extract
}

void streamed_item::begin(std::optional<std::uint64_t> size)
{
    std::lock_guard lock(mutex_);
    begun_ = true;
    if (size) {
        prepare_head(*size);
        if (terms_.head_only)
            finished_ = ok_ = true;  // the head is all there is: nothing to extract
    } else {
        collect_ = true;
    }
    hand_over();
}

bool streamed_item::write(const char* data, std::size_t size)
{
    return take(data, size, nullptr);
}

bool streamed_item::write_kept(std::shared_ptr<const std::string> owner, std::string_view bytes)
{
    return take(bytes.data(), bytes.size(), std::move(owner));
}

bool streamed_item::take(const char* data, std::size_t size, std::shared_ptr<const std::string> kept)
{
    std::unique_lock lock(mutex_);
    if (cancelled_ || range_complete_ || overrun_ || !begun_)
        return false;
    if (collect_) {
        if (collected_.size() + size > terms_.collect_budget) {
            overrun_ = true;  // too large to hold: the item fails, the server goes on
            return false;
        }
        try {
            collected_.append(data, size);
        } catch (const std::bad_alloc&) {
            overrun_ = true;
            return false;
        }
        return true;
    }
    const std::uint64_t start = received_;
    received_ += size;
    if (received_ > size_) {
        overrun_ = true;  // the library delivers more than it said: the item is not what it claims
        return false;
    }
    const std::uint64_t low = std::max(start, span_.first), high = std::min(received_, span_.last + 1);
    if (low < high) {
        const std::string_view bytes(data + (low - start), static_cast<std::size_t>(high - low));
        if (kept) {
            filling_.reset();
            queue_.push_back({std::move(kept), bytes, false});
        } else {
            const auto room = [this] { return cancelled_ || queued_bytes_ < queue_limit; };
            if (!room()) {
                // The client does not keep up: the pool may lend another worker meanwhile.
                archive::extraction_pool::waiting_for_client(true);
                space_.wait(lock, room);
                archive::extraction_pool::waiting_for_client(false);
            }
            if (cancelled_)
                return false;
            if (filling_ && filling_->capacity() - filling_->size() >= bytes.size()) {
                filling_->append(bytes);
                queue_.back().bytes = *filling_;
            } else {
                filling_ = std::make_shared<std::string>();
                filling_->reserve(std::max(piece_size, bytes.size()));
                filling_->append(bytes);
                queue_.push_back({filling_, *filling_, true});
            }
            queued_bytes_ += bytes.size();
        }
        queued_total_ += bytes.size();
        // A range that ends before the item does needs nothing more from the library.
        if (queued_total_ == body_length_ && span_.last + 1 < size_)
            range_complete_ = true;
    }
    hand_over();
    return !range_complete_;
}

bool streamed_item::wanted()
{
    std::lock_guard lock(mutex_);
    return !cancelled_ && !range_complete_ && !overrun_ && !(finished_ && begun_);
}

void streamed_item::finish(archive::item_status status)
{
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        if (finished_)
            return;  // the range could not be satisfied: nothing was extracted
        const bool ok = status == archive::item_status::ok && !overrun_ && begun_ && (collect_ || received_ == size_);
        // Bytes short of or beyond the size the archive records are the library's failure.
        status_ = status == archive::item_status::ok && !ok ? archive::item_status::failed : status;
        if (collect_ && ok) {
            serve_whole(std::make_shared<const std::string>(std::move(collected_)));
        } else {
            finished_ = true;
            ok_ = ok;
        }
        report = !ok_ && !range_complete_ && !cancelled_ && status_ != archive::item_status::aborted;
        hand_over();
    }
    if (report)
        log_.item_failed(terms_.item_path, status_);
}

void streamed_item::take_whole(std::shared_ptr<const std::string> bytes)
{
    std::lock_guard lock(mutex_);
    serve_whole(std::move(bytes));
    hand_over();
}

void streamed_item::serve_whole(std::shared_ptr<const std::string> bytes)
{
    begun_ = true;
    prepare_head(bytes->size());
    if (finished_)
        return;  // 416: nothing to send
    finished_ = ok_ = true;
    received_ = size_;
    if (!terms_.head_only) {
        // Views of the bytes in pieces of a few hundred KiB: no copies.
        for (std::uint64_t at = span_.first; at < span_.first + body_length_; at += piece_size) {
            const std::uint64_t length = std::min<std::uint64_t>(piece_size, span_.first + body_length_ - at);
            queue_.push_back({bytes, std::string_view(*bytes).substr(at, length), false});
        }
        queued_total_ = body_length_;
    }
}

void streamed_item::next(std::function<void(stream_event)> deliver)
{
    std::lock_guard lock(mutex_);
    waiting_ = std::move(deliver);
    hand_over();
}

void streamed_item::cancel()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        waiting_ = nullptr;
        queue_.clear();
        filling_.reset();
        queued_bytes_ = 0;
    }
    space_.notify_all();
}

void streamed_item::hand_over()
{
    if (!waiting_)
        return;
    std::optional<stream_event> event = ready_event();
    if (!event)
        return;
    auto deliver = std::move(waiting_);
    waiting_ = nullptr;
    deliver(std::move(*event));
}

std::optional<stream_event> streamed_item::ready_event()
{
    stream_event event;
    if (!head_delivered_) {
        // A large item's head goes out once its first head_hold bytes are in
        // (an item the password fails yields none), so that one whose data
        // ends before that answers 500 every time; one that fits in the queue
        // goes out once it is complete.
        const bool large = begun_ && !collect_ && body_length_ > queue_limit && received_ >= head_hold;
        if (!large && !finished_ && !range_complete_)
            return std::nullopt;
        head_delivered_ = true;
        event.what = stream_event::kind::head;
        if (finished_ && !succeeded()) {
            event.head = item_failure_reply(status_, terms_.item_path);
            event.complete = true;
        } else if (archive_changed()) {
            event.head = item_failure_reply(archive::item_status::archive_changed);
            event.complete = true;
            log_.archive_changed();
        } else {
            event.head = std::move(head_);
            event.complete = queue_.empty() && delivered_ == body_length_ && succeeded();
        }
        if (terms_.head_only) {
            event.head.content.clear();
            event.complete = true;
        }
        return event;
    }
    if (!queue_.empty()) {
        // The piece still being filled goes once full, or once no more comes.
        const bool filling = filling_ && queue_.size() == 1 && queue_.front().owner == filling_;
        if (filling && filling_->size() < piece_size && !finished_ && !range_complete_)
            return std::nullopt;
        if (filling)
            filling_.reset();
        const bool last_piece = delivered_ + queue_.front().bytes.size() == body_length_;
        if (last_piece && succeeded() && archive_changed()) {
            // The bytes sent may be the new file's: the client sees a short body.
            event.what = stream_event::kind::failed;
            log_.archive_changed();
            return event;
        }
        if (last_piece && !succeeded()) {
            if (!finished_)
                return std::nullopt;  // held back until the library reports the result
            event.what = stream_event::kind::failed;
            return event;
        }
        event.what = stream_event::kind::data;
        event.owner = std::move(queue_.front().owner);
        event.data = queue_.front().bytes;
        if (queue_.front().counted)
            queued_bytes_ -= event.data.size();
        queue_.pop_front();
        delivered_ += event.data.size();
        space_.notify_one();
        return event;
    }
    if (!finished_ && !range_complete_)
        return std::nullopt;
    event.what = succeeded() && delivered_ == body_length_ ? stream_event::kind::end : stream_event::kind::failed;
    return event;
}

}  // namespace browse
