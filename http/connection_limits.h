// How long a connection may take at each step before it is closed.
#pragma once

#include <chrono>

namespace http {

struct connection_limits {
    // From the accept to the end of the request header; closed without a reply.
    std::chrono::milliseconds header_timeout{10000};
    // A reply that makes no progress this long (the client stopped reading).
    std::chrono::milliseconds write_timeout{60000};
    // After the reply, how long what the client still sends is read and dropped
    // before the close, so that the close does not reset the reply away.
    std::chrono::milliseconds linger_time{2000};
};

}  // namespace http
