// A parsed request: its request line and header lines exactly as received. The
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
};

}  // namespace http
