// What the server asks of whoever gives requests their meaning.
#pragma once

#include "http/reply.h"
#include "http/request.h"

namespace http {

class request_handler {
public:
    virtual ~request_handler() = default;

    // Fills the fresh `rep` completely, headers included. Runs on the event loop.
    virtual void handle_request(const request& req, reply& rep) = 0;
};

}  // namespace http
