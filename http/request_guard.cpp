// Host and cross-site checks of incoming requests.
#include "http/request_guard.h"

#include <string_view>

#include "http/header_values.h"

namespace http {
namespace {

bool is_loopback_host(std::string_view value)
{
    for (std::string_view name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (value.size() < name.size() || !equals_ignoring_case(value.substr(0, name.size()), name))
            continue;
        std::string_view rest = value.substr(name.size());
        if (rest.empty())
            return true;
        if (rest.size() < 2 || rest.size() > 6 || rest[0] != ':')
            return false;
        unsigned port = 0;
        for (char c : rest.substr(1)) {
            if (c < '0' || c > '9')
                return false;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        return port <= 65535;
    }
    return false;
}

}  // namespace

bool request_is_from_this_machine(const std::vector<header>& headers)
{
    int host_count = 0;
    for (const header& h : headers) {
        if (equals_ignoring_case(h.name, "Host")) {
            if (++host_count > 1 || !is_loopback_host(h.value))
                return false;
        } else if (equals_ignoring_case(h.name, "Sec-Fetch-Site") && equals_ignoring_case(h.value, "cross-site")) {
            return false;
        }
    }
    return true;
}

}  // namespace http
