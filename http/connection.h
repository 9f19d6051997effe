// One accepted connection: reads one request, writes one reply, closes. A reply
// that comes as a stream is written event by event as the stream delivers them.
#pragma once

#include <array>
#include <memory>

#include <boost/asio/ip/tcp.hpp>

#include "http/reply.h"
#include "http/reply_stream.h"
#include "http/request.h"
#include "http/request_parser.h"

namespace http {

class connection_set;
class request_handler;

class connection : public std::enable_shared_from_this<connection> {
public:
    connection(boost::asio::io_context& io, connection_set& connections, request_handler& handler);
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }

    // Starts reading the request.
    void start();

    // Closes the socket and cancels a streamed reply; pending operations
    // complete as aborted.
    void stop();

private:
    void read_more();
    void handle_read(const boost::system::error_code& error, std::size_t bytes_transferred);
    void write_reply();
    void handle_write(const boost::system::error_code& error);

    // A streamed reply: ask for the next event, take it on the event loop.
    void ask_stream();
    void handle_event(stream_event event);
    void handle_stream_write(const boost::system::error_code& error, bool last);

    boost::asio::ip::tcp::socket socket_;
    connection_set& connections_;
    request_handler& handler_;
    std::array<char, 8192> buffer_;
    request request_;
    request_parser parser_;
    reply reply_;
    std::shared_ptr<reply_stream> stream_;
    std::string piece_;  // the body piece being written
    bool stopped_ = false;
};

using connection_ptr = std::shared_ptr<connection>;

}  // namespace http
