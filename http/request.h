// A parsed request: its request line and header lines exactly as received (and
// its body, for the few requests that may have one). The
// target stays percent-encoded; decoding it is the request handler's business.
#pragma once

#include <string>
#include <vector>

#include "http/header.h"

namespace http {

struct request {
    std::string method;
    std::string uri;
    int http_version_major = 0;
    int http_version_minor = 0;
    std::vector<header> headers;  // in arrival order; repeated names repeat
    std::string body;             // only for a request whose handler takes one (request_handler.h)
};

}  // namespace http
