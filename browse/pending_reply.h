// A reply whose content is not ready yet (the details listing while it is being
// built, an inner archive while it is opened): the connection waits for it
// without holding up the event loop. It ends as a whole reply, or hands over
// to a stream that makes the reply from then on.
// Shared by the router, which completes it, and the connection, which reads it;
// guarded by its mutex.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "http/reply_stream.h"

namespace browse {

class pending_reply : public http::reply_stream {
public:
    // The whole reply, once it is ready; from any thread.
    void complete(http::reply rep);

    // From now on `stream` makes the reply; from any thread, in place of complete.
    void forward(std::shared_ptr<http::reply_stream> stream);

    // Whether the client has gone: whatever makes the reply may stop.
    bool cancelled();

    void next(std::function<void(http::stream_event)> deliver) override;
    void cancel() override;

private:
    void hand_over();

    std::mutex mutex_;
    std::optional<http::reply> ready_;
    std::function<void(http::stream_event)> waiting_;
    std::shared_ptr<http::reply_stream> forward_;
    bool cancelled_ = false;
};

}  // namespace browse
