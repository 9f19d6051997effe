// HTTP exchanges with the real server that must end within a time limit, for
// tests of damaged archives and of load: a reply that is neither complete nor
// cut off when the limit passes counts as a hang.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace test_support {

struct timed_reply {
    bool ended = false;  // the server closed or reset the connection within the limit
    std::string status_line;
    std::optional<std::uint64_t> content_length;
    std::uint64_t body_size = 0;  // body bytes received
    std::string body;             // the body, unless a visitor took it

    // The head promised more than arrived: the reply was cut off.
    bool cut() const { return content_length && body_size < *content_length; }
};

// Sends `request` (a whole request) to 127.0.0.1:port and reads the reply until
// the server ends the connection or `limit` passes. With `visit_body` the body
// is handed over piece by piece instead of kept.
timed_reply timed_request(unsigned short port, const std::string& request, std::chrono::milliseconds limit,
                          const std::function<void(std::string_view)>& visit_body = {});

// A GET of `target` in HTTP/1.0 with a loopback Host header.
timed_reply timed_get(unsigned short port, const std::string& target, std::chrono::milliseconds limit,
                      const std::function<void(std::string_view)>& visit_body = {});

// Whether `received` holds a whole head and at least `body_bytes` of the body.
bool holds_head_and(const std::string& received, std::size_t body_bytes);

// Sends a GET of `target` on `fd` and reads until the head and at least
// `body_bytes` bytes of the body have arrived, the server closed, or nothing
// came for 20 s; gives what arrived. The socket stays open for the caller.
std::string start_get(int fd, const std::string& target, std::size_t body_bytes);

}  // namespace test_support
