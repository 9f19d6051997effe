// Plain-socket HTTP client for tests.
#include "tests/support/raw_http.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace test_support {

int connect_loopback(unsigned short port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string http_exchange(unsigned short port, const std::vector<std::string>& pieces)
{
    int fd = connect_loopback(port);
    if (fd < 0)
        return {};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (send(fd, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL) < 0)
            break;
    }
    std::string received = read_until_closed(fd);
    close(fd);
    return received;
}

std::string read_until_closed(int fd)
{
    std::string received;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0)
            break;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

std::string http_exchange(unsigned short port, const std::string& request)
{
    return http_exchange(port, std::vector<std::string>{request});
}

std::string http_get(unsigned short port, const std::string& target)
{
    return http_exchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string reply_body(const std::string& reply)
{
    std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string reply_status_line(const std::string& reply)
{
    return reply.substr(0, reply.find("\r\n"));
}

std::string reply_header(const std::string& reply, const std::string& name)
{
    const std::size_t at = reply.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > reply.find("\r\n\r\n"))
        return "(none)";
    const std::size_t start = at + name.size() + 4;
    return reply.substr(start, reply.find("\r\n", start) - start);
}

}  // namespace test_support
