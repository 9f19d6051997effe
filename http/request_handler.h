// What the server asks of whoever gives requests their meaning.
#pragma once

#include <cstddef>

#include "http/reply.h"
#include "http/request.h"

namespace http {

class request_handler {
public:
    virtual ~request_handler() = default;

    // How many bytes of body the request may carry (its Content-Length, read
    // into its body before handle_request within the header's time); 0, for
    // most, means that no body is read. Runs on the event loop.
    virtual std::size_t body_limit(const request& req)
    {
        (void)req;
        return 0;
    }

    // Fills the fresh `rep` completely, headers included. Runs on the event loop.
    virtual void handle_request(const request& req, reply& rep) = 0;
};

}  // namespace http
