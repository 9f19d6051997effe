// The queue between an extracting worker and a connection.
#include "browse/streamed_item.h"

#include <algorithm>

namespace browse {

using http::stream_event;

streamed_item::streamed_item(std::optional<http::range_request> range, std::string content_type, request_log& log)
    : range_(range), content_type_(std::move(content_type)), log_(log)
{
}

void streamed_item::prepare_head(std::uint64_t size)
{
    size_ = size;
    head_ = http::reply();
    head_.status = http::ok;
    span_ = {0, size == 0 ? 0 : size - 1};
    body_length_ = size;
    if (range_) {
        const std::optional<http::byte_span> span = http::resolve_range(*range_, size);
        if (!span) {
            head_ = http::canned_reply(http::range_not_satisfiable);
            head_.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
            body_length_ = 0;
            finished_ = ok_ = true;  // nothing to extract
            return;
        }
        span_ = *span;
        body_length_ = span->length();
        head_.status = http::partial_content;
    }
    head_.headers.push_back({"Content-Length", std::to_string(body_length_)});
    head_.headers.push_back({"Content-Type", content_type_});
    head_.headers.push_back({"Accept-Ranges", "bytes"});
    if (range_)
        head_.headers.push_back({"Content-Range", "bytes " + std::to_string(span_.first) + "-" +
                                                      std::to_string(span_.last) + "/" + std::to_string(size)});
}

void streamed_item::begin(std::optional<std::uint64_t> size)
{
    std::lock_guard lock(mutex_);
    begun_ = true;
    if (size)
        prepare_head(*size);
    else
        collect_ = true;
    hand_over();
}

bool streamed_item::write(const char* data, std::size_t size)
{
    std::unique_lock lock(mutex_);
    if (cancelled_ || range_complete_ || overrun_ || !begun_)
        return false;
    if (collect_) {
        collected_.append(data, size);
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
        space_.wait(lock, [this] { return cancelled_ || queued_bytes_ < queue_limit; });
        if (cancelled_)
            return false;
        queue_.emplace_back(data + (low - start), static_cast<std::size_t>(high - low));
        queued_bytes_ += static_cast<std::size_t>(high - low);
        queued_total_ += high - low;
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
        finished_ = true;
        ok_ = status == archive::item_status::ok && !overrun_ && begun_ && (collect_ || received_ == size_);
        if (collect_ && ok_) {
            prepare_head(collected_.size());
            if (head_.status != http::range_not_satisfiable) {
                head_.content = collected_.substr(static_cast<std::size_t>(span_.first),
                                                  static_cast<std::size_t>(body_length_));
                queued_total_ = delivered_ = body_length_;
            }
            collected_ = std::string();
        }
        report = !ok_ && !range_complete_ && !cancelled_ && *archive::item_status_text(status);
        hand_over();
    }
    if (report)
        log_.item_failed(status);
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
        // A large item's head goes out as soon as its size is known; one that fits
        // in the queue goes out once it is complete.
        const bool large = begun_ && !collect_ && body_length_ > queue_limit;
        if (!large && !finished_ && !range_complete_)
            return std::nullopt;
        head_delivered_ = true;
        event.what = stream_event::kind::head;
        if (finished_ && !succeeded()) {
            event.head = http::canned_reply(http::internal_server_error);
            event.complete = true;
        } else {
            event.head = std::move(head_);
            event.complete = queue_.empty() && delivered_ == body_length_ && succeeded();
        }
        return event;
    }
    if (!queue_.empty()) {
        const bool last_piece = delivered_ + queue_.front().size() == body_length_;
        if (last_piece && !succeeded()) {
            if (!finished_)
                return std::nullopt;  // held back until the library reports the result
            event.what = stream_event::kind::failed;
            return event;
        }
        event.what = stream_event::kind::data;
        event.data = std::move(queue_.front());
        queue_.pop_front();
        delivered_ += event.data.size();
        queued_bytes_ -= event.data.size();
        space_.notify_one();
        return event;
    }
    if (!finished_ && !range_complete_)
        return std::nullopt;
    event.what = succeeded() && delivered_ == body_length_ ? stream_event::kind::end : stream_event::kind::failed;
    return event;
}

}  // namespace browse
