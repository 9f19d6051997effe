// One accepted connection: reads a request, writes its reply, and for an
// HTTP/1.1 client goes on to the next request on the same connection. A reply
// that comes as a stream is written event by event as the stream delivers them.
// Its lifecycle: reading the request header (and, for the few requests whose
// handler takes one, a body of a bounded length; both within the header
// timeout, counted from the accept or from the end of the previous reply),
// replying (each write must make progress within the write timeout; a client
// that closes or resets during a streamed reply ends it at once, cancelling its
// stream), then either reading the next request (a kept connection: requests
// that came early, pipelined, wait in order, at most read_ahead bytes of them
// read while a reply goes out) or, when the client sent or announced more than
// its request, lingering (the sending side shut down, what the client still
// sends read and dropped until it closes or the linger time passes), then closed.
// A reply whose body cannot be delivered whole always ends with the connection.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/connection_limits.h"
#include "http/reply.h"
#include "http/reply_framing.h"
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

    // Starts reading the first request.
    void start();

    // Closes the socket and cancels a streamed reply; pending operations
    // complete as aborted.
    void stop();

private:
    enum class phase { reading, replying, lingering, stopped };

    // One read of the client's side, whatever the phase.
    void read_more();
    void handle_read(const boost::system::error_code& error, std::size_t bytes_transferred);
    // Bytes of the request being read; what follows it is kept for the next.
    void take_input(const char* begin, const char* end);
    // The body of a request that may carry one, as it comes; then the reply.
    void take_body(const char* begin, const char* end);
    void handle_request();
    // Writes reply_ or starts its stream.
    void start_reply();
    // Whatever the client sends while a streamed reply goes out is read, so
    // that its leaving is seen.
    void watch_client();

    // Writes, each watched for progress; `last` ends the reply.
    template <class Buffers>
    void write(const Buffers& buffers, bool last);
    void write_reply(bool last);  // reply_'s head and body
    // head_ (when not empty) and a piece of the body, framed as the reply is.
    void write_body(std::string_view body, bool last);
    void handle_write(const boost::system::error_code& error, bool last);
    void finish_reply();
    // A kept connection goes on to the request that comes next.
    void next_request();

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
    bool read_pending_ = false;           // a read of the client's side is pending
    bool client_may_send_more_ = false;   // bytes came, or may come, that no request will take
    bool deadline_armed_ = false;
    bool reading_body_ = false;
    std::size_t body_left_ = 0;           // of the body being read
    bool http11_ = false;                 // the reply names HTTP/1.1 and is framed for it
    bool keep_ = false;                   // the connection stays open after the reply
    reply_framing framing_;               // of the reply's body, and what of it is still to go
    std::string pending_;                 // read after the current request: the next ones
    std::chrono::steady_clock::time_point deadline_at_;  // of the current phase
    std::chrono::steady_clock::time_point last_progress_;
    std::array<char, 8192> buffer_;
    request request_;
    request_parser parser_;
    reply reply_;
    std::string head_;  // reply_'s head while it is written
    std::string chunk_line_;  // the line that opens the chunk being written
    std::shared_ptr<reply_stream> stream_;
    std::shared_ptr<const std::string> piece_;  // keeps the body piece being written alive
};

using connection_ptr = std::shared_ptr<connection>;

}  // namespace http
