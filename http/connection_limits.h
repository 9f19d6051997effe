// How long a connection may take at each step before it is closed, and how
// much it reads ahead.
#pragma once

#include <chrono>
#include <cstddef>

namespace http {

struct connection_limits {
    // From the accept, or from the end of the previous reply on a kept
    // connection, to the end of the request header; closed without a reply.
    std::chrono::milliseconds header_timeout{10000};
    // A reply that makes no progress this long (the client stopped reading).
    std::chrono::milliseconds write_timeout{60000};
    // After the reply, how long what the client still sends is read and dropped
    // before the close, so that the close does not reset the reply away.
    std::chrono::milliseconds linger_time{2000};
    // While a streamed reply goes out on a kept connection, the later requests
    // that the client sends are read ahead and kept up to this many bytes;
    // beyond, they wait in the socket until the reply is done.
    std::size_t read_ahead = 64 * 1024;
};

}  // namespace http
