// Handing what a producer writes to the connection as it comes.
#include "http/live_stream.h"

namespace http {

live_stream::live_stream(reply head, std::size_t room, std::function<void(bool waiting)> waiting)
    : room_(room), waiting_for_room_(std::move(waiting)), head_(std::move(head))
{
}

bool live_stream::write(std::string_view bytes)
{
    std::unique_lock lock(mutex_);
    const auto has_room = [this] { return cancelled_ || buffer_.size() < room_; };
    if (!has_room()) {
        if (waiting_for_room_)
            waiting_for_room_(true);
        space_.wait(lock, has_room);
        if (waiting_for_room_)
            waiting_for_room_(false);
    }
    if (cancelled_)
        return false;
    buffer_.append(bytes);
    hand_over();
    return true;
}

bool live_stream::offer(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    if (cancelled_ || ended_ || buffer_.size() + bytes.size() > room_)
        return false;
    buffer_.append(bytes);
    hand_over();
    return true;
}

void live_stream::end()
{
    std::lock_guard lock(mutex_);
    ended_ = true;
    hand_over();
}

void live_stream::fail()
{
    std::lock_guard lock(mutex_);
    failed_ = true;
    hand_over();
}

void live_stream::next(std::function<void(stream_event)> deliver)
{
    std::lock_guard lock(mutex_);
    waiting_ = std::move(deliver);
    hand_over();
}

void live_stream::cancel()
{
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        waiting_ = nullptr;
        buffer_.clear();
    }
    space_.notify_all();
}

void live_stream::hand_over()
{
    if (!waiting_)
        return;
    stream_event event;
    if (!head_sent_) {
        head_sent_ = true;
        event.what = stream_event::kind::head;
        event.head = std::move(head_);
    } else if (!buffer_.empty()) {
        event.what = stream_event::kind::data;
        auto piece = std::make_shared<const std::string>(std::move(buffer_));
        buffer_.clear();
        event.data = *piece;
        event.owner = std::move(piece);
        space_.notify_all();
    } else if (failed_) {
        event.what = stream_event::kind::failed;
    } else if (ended_) {
        event.what = stream_event::kind::end;
    } else {
        return;
    }
    auto deliver = std::move(waiting_);
    waiting_ = nullptr;
    deliver(std::move(event));
}

}  // namespace http
