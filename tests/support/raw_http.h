// Byte-exact HTTP exchanges over plain sockets, for tests of the real server.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// Connects to 127.0.0.1:port, sends the pieces one after another (pausing a
// little between them), and reads until the server closes. Empty on no connect.
std::string http_exchange(unsigned short port, const std::vector<std::string>& pieces);

// One whole request in one piece.
std::string http_exchange(unsigned short port, const std::string& request);

// A GET of `target` with a loopback Host header.
std::string http_get(unsigned short port, const std::string& target);

// A socket connected to 127.0.0.1:port (-1 on failure); the caller closes it.
int connect_loopback(unsigned short port);

// Reads from the socket until the peer closes it (or 20 s pass without data).
std::string read_until_closed(int fd);

// The body after the header of a reply, and its status line.
std::string reply_body(const std::string& reply);
std::string reply_status_line(const std::string& reply);

// The value of a header in a reply's head, or "(none)" when it has none.
std::string reply_header(const std::string& reply, const std::string& name);

}  // namespace test_support
