// Time-limited HTTP exchanges over plain sockets.
#include "tests/support/timed_http.h"

#include <cstdlib>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/raw_http.h"

namespace test_support {
namespace {

// Takes the head apart once it is whole: the status line and Content-Length.
void read_head(const std::string& head, timed_reply& reply)
{
    reply.status_line = reply_status_line(head);
    const std::string name = "\r\nContent-Length: ";
    const std::size_t at = head.find(name);
    if (at != std::string::npos)
        reply.content_length = std::strtoull(head.c_str() + at + name.size(), nullptr, 10);
}

}  // namespace

timed_reply timed_request(unsigned short port, const std::string& request, std::chrono::milliseconds limit,
                          const std::function<void(std::string_view)>& visit_body)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + limit;
    timed_reply reply;
    const int fd = connect_loopback(port);
    if (fd < 0) {
        reply.ended = true;  // nobody listens: ended, with no reply
        return reply;
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string head;
    bool head_done = false;
    auto take_body = [&](std::string_view piece) {
        reply.body_size += piece.size();
        if (visit_body)
            visit_body(piece);
        else
            reply.body.append(piece);
    };
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            reply.ended = true;
            break;
        }
        const std::string_view piece(buffer, static_cast<std::size_t>(n));
        if (head_done) {
            take_body(piece);
            continue;
        }
        head.append(piece);
        const std::size_t end = head.find("\r\n\r\n");
        if (end == std::string::npos)
            continue;
        head_done = true;
        read_head(head.substr(0, end + 2), reply);
        take_body(std::string_view(head).substr(end + 4));
    }
    if (!head_done)
        reply.status_line = reply_status_line(head);
    close(fd);
    return reply;
}

timed_reply timed_get(unsigned short port, const std::string& target, std::chrono::milliseconds limit,
                      const std::function<void(std::string_view)>& visit_body)
{
    return timed_request(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", limit, visit_body);
}

bool holds_head_and(const std::string& received, std::size_t body_bytes)
{
    const std::size_t head_end = received.find("\r\n\r\n");
    return head_end != std::string::npos && received.size() - head_end - 4 >= body_bytes;
}

std::string start_get(int fd, const std::string& target, std::size_t body_bytes)
{
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::string received;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return received;
    char piece[65536];
    while (!holds_head_and(received, body_bytes)) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0)
            break;
        const ssize_t n = recv(fd, piece, sizeof piece, 0);
        if (n <= 0)
            break;
        received.append(piece, static_cast<std::size_t>(n));
    }
    return received;
}

}  // namespace test_support
