// Handing a late reply to its connection.
#include "browse/pending_reply.h"

namespace browse {

void pending_reply::complete(http::reply rep)
{
    std::lock_guard lock(mutex_);
    ready_ = std::move(rep);
    hand_over();
}

void pending_reply::forward(std::shared_ptr<http::reply_stream> stream)
{
    std::function<void(http::stream_event)> waiting;
    bool cancelled;
    {
        std::lock_guard lock(mutex_);
        cancelled = cancelled_;
        if (!cancelled) {
            forward_ = stream;
            waiting = std::move(waiting_);
            waiting_ = nullptr;
        }
    }
    // The stream is asked outside the lock: it may deliver at once.
    if (cancelled)
        stream->cancel();
    else if (waiting)
        stream->next(std::move(waiting));
}

void pending_reply::next(std::function<void(http::stream_event)> deliver)
{
    std::shared_ptr<http::reply_stream> stream;
    {
        std::lock_guard lock(mutex_);
        stream = forward_;
        if (!stream) {
            waiting_ = std::move(deliver);
            hand_over();
            return;
        }
    }
    stream->next(std::move(deliver));
}

bool pending_reply::cancelled()
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void pending_reply::cancel()
{
    std::shared_ptr<http::reply_stream> stream;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        waiting_ = nullptr;
        stream = forward_;
    }
    if (stream)
        stream->cancel();
}

void pending_reply::hand_over()
{
    if (!waiting_ || !ready_)
        return;
    http::stream_event event;
    event.what = http::stream_event::kind::head;
    event.head = std::move(*ready_);
    event.complete = true;
    ready_.reset();
    auto deliver = std::move(waiting_);
    waiting_ = nullptr;
    deliver(std::move(event));
}

}  // namespace browse
