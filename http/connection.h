// One accepted connection: reads one request, writes one reply, closes. A reply
// that comes as a stream is written event by event as the stream delivers them.
// Its lifecycle: reading the request header (and, for the few requests whose
// handler takes one, a body of a bounded length; both within the header timeout),
// replying (each write must make progress within the write timeout; a client
// that closes or resets during a streamed reply ends it at once, cancelling its
// stream), then, when the client sent or announced more than its request
// header, lingering (the sending side shut down, what the client still sends
// read and dropped until it closes or the linger time passes), then closed.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/connection_limits.h"
#include "http/reply.h"
#include "http/reply_stream.h"
#include "http/request.h"
#include "http/request_parser.h"

namespace http {

class connection_set;
class request_handler;

class connection : public std::enable_shared_from_this<connection> {
public:
    connection(boost::asio::io_context& io, connection_set& connections, request_handler& handler,
               const connection_limits& limits);
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }

    // Starts reading the request.
    void start();

    // Closes the socket and cancels a streamed reply; pending operations
    // complete as aborted.
    void stop();

private:
    enum class phase { reading, replying, lingering, stopped };

    void read_more();
    void handle_read(const boost::system::error_code& error, std::size_t bytes_transferred);
    void handle_request();
    // The body of a request that may carry one, as it comes; then the reply.
    void take_body(const char* begin, const char* end);
    // Writes reply_ or starts its stream.
    void start_reply();

    // The client's side while the reply goes out and afterwards.
    void watch_client();
    void handle_client_bytes(const boost::system::error_code& error);

    // Writes, each watched for progress; `last` ends the reply.
    template <class Buffers>
    void write(const Buffers& buffers, bool last);
    void write_reply(bool last);  // reply_'s head and body
    void handle_write(const boost::system::error_code& error, bool last);
    void finish_reply();

    // A streamed reply: ask for the next event, take it on the event loop.
    void ask_stream();
    void handle_event(stream_event event);

    // One timer for every deadline of the current phase.
    void arm_deadline(std::chrono::milliseconds after);
    void handle_deadline(const boost::system::error_code& error);

    boost::asio::ip::tcp::socket socket_;
    boost::asio::steady_timer deadline_;
    connection_set& connections_;
    request_handler& handler_;
    const connection_limits& limits_;
    phase phase_ = phase::reading;
    bool writing_ = false;
    bool watching_ = false;               // a read of the client's side is pending
    bool client_may_send_more_ = false;   // bytes came, or may come, after the request header
    bool deadline_armed_ = false;
    bool reading_body_ = false;
    std::size_t body_left_ = 0;           // of the body being read
    std::chrono::steady_clock::time_point deadline_at_;  // of the current phase
    std::chrono::steady_clock::time_point last_progress_;
    std::array<char, 8192> buffer_;
    request request_;
    request_parser parser_;
    reply reply_;
    std::string head_;  // reply_'s head while it is written
    std::shared_ptr<reply_stream> stream_;
    std::shared_ptr<const std::string> piece_;  // keeps the body piece being written alive
};

using connection_ptr = std::shared_ptr<connection>;

}  // namespace http
