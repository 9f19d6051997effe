// One name/value line of a request's or a reply's header, kept as received or
// as the handler wrote it.
#pragma once

#include <string>

namespace http {

struct header {
    std::string name;
    std::string value;
};

}  // namespace http
