// Refuses requests that a web site could make the browser send: a Host that is
// not this machine's loopback name (DNS rebinding) and requests the browser
// marks as cross-site.
#pragma once

#include <vector>

#include "http/header.h"

namespace http {

// True when the request may be served: no Host header or exactly one whose name
// is 127.0.0.1, localhost or [::1] (any letter case), optionally with ":port" (decimal digits, at most 65535);
// and no "Sec-Fetch-Site: cross-site".
bool request_is_from_this_machine(const std::vector<header>& headers);

}  // namespace http
