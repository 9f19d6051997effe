// Handing a late reply to its connection.
#include "browse/pending_reply.h"

namespace browse {

void pending_reply::complete(http::reply rep)
{
    std::lock_guard lock(mutex_);
    ready_ = std::move(rep);
    hand_over();
}

void pending_reply::next(std::function<void(http::stream_event)> deliver)
{
    std::lock_guard lock(mutex_);
    waiting_ = std::move(deliver);
    hand_over();
}

void pending_reply::cancel()
{
    std::lock_guard lock(mutex_);
    waiting_ = nullptr;
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
