// A reply made elsewhere, typically on another thread, that arrives in pieces:
// first its head, then pieces of its body, then its end. The connection asks for
// one event at a time and writes it before it asks for the next, so a stream
// never has more than one event on its way to the socket.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "http/reply.h"

namespace http {

struct stream_event {
    enum class kind {
        head,    // `head` holds the status, headers and any body that goes with them
        data,    // `data` is the next piece of the body, kept alive by `owner`
        end,     // the body is complete
        failed,  // the body cannot be completed: the connection is cut short
    };
    kind what = kind::failed;
    reply head;
    std::shared_ptr<const std::string> owner;
    std::string_view data;
    bool complete = false;  // with head: nothing follows it
};

class reply_stream {
public:
    virtual ~reply_stream() = default;

    // Asks for the next event. `deliver` is called exactly once, from any thread
    // and possibly before next() returns, unless the stream is cancelled first.
    virtual void next(std::function<void(stream_event)> deliver) = 0;

    // The connection is gone or the server stops: no event is wanted any more and
    // a pending `deliver` is dropped. Called on the event loop.
    virtual void cancel() = 0;
};

}  // namespace http
