// The lifecycle of one connection: read a request, write the reply (in one
// gathered write, or event by event from its stream), then read the next one,
// or linger and close.
#include "http/connection.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "http/connection_set.h"
#include "http/header_values.h"
#include "http/request_handler.h"

namespace http {
namespace {

// Whether the request says that a body follows its header.
bool announces_body(const request& req)
{
    for (const header& h : req.headers) {
        if (equals_ignoring_case(h.name, "Transfer-Encoding") ||
            (equals_ignoring_case(h.name, "Content-Length") && trim(h.value) != "0"))
            return true;
    }
    return false;
}

// Why a request that may carry a body of at most `limit` bytes is refused, if
// it is; else its length in `length`. A body must come with its length.
std::optional<status_code> body_refusal(const request& req, std::size_t limit, std::size_t& length)
{
    std::optional<std::string_view> given;
    for (const header& h : req.headers) {
        if (equals_ignoring_case(h.name, "Transfer-Encoding"))
            return length_required;
        if (equals_ignoring_case(h.name, "Content-Length")) {
            if (given)
                return bad_request;
            given = trim(h.value);
        }
    }
    if (!given)
        return length_required;
    if (given->empty() || given->size() > 19 || given->find_first_not_of("0123456789") != std::string_view::npos)
        return bad_request;
    const std::uint64_t value = std::stoull(std::string(*given));
    if (value > limit)
        return payload_too_large;
    length = static_cast<std::size_t>(value);
    return std::nullopt;
}

}  // namespace

connection::connection(boost::asio::io_context& io, connection_set& connections, request_handler& handler,
                       const connection_limits& limits)
    : socket_(io), deadline_(io), connections_(connections), handler_(handler), limits_(limits)
{
}

void connection::start()
{
    arm_deadline(limits_.header_timeout);
    read_more();
}

void connection::stop()
{
    phase_ = phase::stopped;
    if (stream_) {
        stream_->cancel();
        stream_.reset();
    }
    deadline_.cancel();
    boost::system::error_code ignored;
    socket_.close(ignored);
}

void connection::read_more()
{
    read_pending_ = true;
    socket_.async_read_some(boost::asio::buffer(buffer_),
                            [self = shared_from_this()](const boost::system::error_code& error, std::size_t n) {
                                self->handle_read(error, n);
                            });
}

void connection::handle_read(const boost::system::error_code& error, std::size_t bytes_transferred)
{
    read_pending_ = false;
    if (phase_ == phase::stopped)
        return;
    // While reading, a client that closes is done; while replying, it has
    // given up on the reply; while lingering, it is done.
    if (error) {
        connections_.stop(shared_from_this());
        return;
    }
    if (phase_ == phase::reading) {
        take_input(buffer_.data(), buffer_.data() + bytes_transferred);
        return;
    }
    if (keep_ && phase_ == phase::replying) {
        pending_.append(buffer_.data(), bytes_transferred);  // the next requests
        watch_client();
        return;
    }
    client_may_send_more_ = true;  // dropped
    read_more();
}

void connection::take_input(const char* begin, const char* end)
{
    if (reading_body_) {
        take_body(begin, end);
        return;
    }
    // Bytes after the end of the request header are never looked at, but for
    // the body of a request whose handler takes one and, on a kept
    // connection, the requests that follow.
    const auto [result, decided_at] = parser_.parse(request_, begin, end);
    if (boost::indeterminate(result)) {
        if (!read_pending_)
            read_more();
        return;
    }
    const bool complete = static_cast<bool>(result);
    http11_ = (complete || parser_.request_line_read()) && speaks_http11(request_);
    if (complete) {
        if (const std::size_t limit = handler_.body_limit(request_)) {
            const std::optional<status_code> refusal = body_refusal(request_, limit, body_left_);
            if (!refusal) {
                reading_body_ = true;
                take_body(decided_at, end);
                return;
            }
            phase_ = phase::replying;
            client_may_send_more_ = true;
            reply_ = canned_reply(*refusal);
            write_reply(true);
            return;
        }
    }
    phase_ = phase::replying;
    // A malformed request, or a body no handler reads, leaves bytes that no
    // request can be told from: the connection ends with the reply.
    keep_ = http11_ && complete && !announces_body(request_) && !asks_to_close(request_.headers);
    if (keep_)
        pending_.assign(decided_at, end);
    else
        client_may_send_more_ = decided_at != end || !complete || announces_body(request_);
    if (complete)
        handle_request();
    else
        reply_ = canned_reply(bad_request);
    start_reply();
}

void connection::take_body(const char* begin, const char* end)
{
    const std::size_t taken = std::min<std::size_t>(body_left_, static_cast<std::size_t>(end - begin));
    request_.body.append(begin, taken);
    body_left_ -= taken;
    if (body_left_ > 0) {
        if (!read_pending_)
            read_more();
        return;
    }
    reading_body_ = false;
    phase_ = phase::replying;
    keep_ = http11_ && !asks_to_close(request_.headers);
    if (keep_)
        pending_.assign(begin + taken, end);
    else
        client_may_send_more_ = begin + taken != end;
    handle_request();
    start_reply();
}

void connection::start_reply()
{
    if (reply_.stream) {
        // A stream may run long: a client that goes away meanwhile cancels it.
        watch_client();
        stream_ = std::move(reply_.stream);
        ask_stream();
        return;
    }
    write_reply(true);
}

void connection::handle_request()
{
    // A request that fails while it is built (memory) gets a 500; the server and
    // every other connection go on.
    try {
        handler_.handle_request(request_, reply_);
    } catch (...) {
        reply_ = canned_reply(internal_server_error);
    }
}

void connection::watch_client()
{
    // A kept connection reads what comes ahead only up to its bound; the rest
    // waits in the socket.
    if (!read_pending_ && (!keep_ || pending_.size() < limits_.read_ahead))
        read_more();
}

template <class Buffers>
void connection::write(const Buffers& buffers, bool last)
{
    writing_ = true;
    last_progress_ = std::chrono::steady_clock::now();
    arm_deadline(limits_.write_timeout);
    boost::asio::async_write(
        socket_, buffers,
        [this, sent = std::size_t{0}](const boost::system::error_code& error, std::size_t transferred) mutable {
            if (transferred != sent) {
                sent = transferred;
                last_progress_ = std::chrono::steady_clock::now();
            }
            return error ? std::size_t{0} : std::size_t{65536};
        },
        [self = shared_from_this(), last](const boost::system::error_code& error, std::size_t) {
            self->handle_write(error, last);
        });
}

void connection::write_reply(bool last)
{
    if (http11_) {
        framing_ = frame_http11_head(reply_, request_.method == "HEAD", last, keep_);
        keep_ = framing_.keep;
        head_ = http11_head(reply_);
    } else {
        framing_ = reply_framing{};  // as the handler made it, ended by the close
        head_ = wire_head(reply_);
    }
    write_body(wire_body(reply_), last);
}

void connection::write_body(std::string_view body, bool last)
{
    static constexpr std::string_view crlf = "\r\n";
    static constexpr std::string_view last_chunk = "0\r\n\r\n";
    bool chunked = false;
    switch (framing_.framing) {
    case body_framing::none:
        body = {};
        break;
    case body_framing::length:
        if (body.size() > framing_.length) {
            // More than the head promised: what it promised goes, then the
            // close, so that the rest is never taken for the next reply.
            body = body.substr(0, static_cast<std::size_t>(framing_.length));
            keep_ = false;
            last = true;
            if (stream_) {
                stream_->cancel();
                stream_.reset();
            }
        }
        framing_.length -= body.size();
        break;
    case body_framing::chunked:
        chunked = true;
        break;
    case body_framing::until_close:
        break;
    }
    chunk_line_ = chunked && !body.empty() ? chunk_line(body.size()) : std::string();
    const std::string_view chunk_end = chunked && !body.empty() ? crlf : std::string_view();
    const std::string_view terminator = chunked && last ? last_chunk : std::string_view();
    write(std::array<boost::asio::const_buffer, 5>{boost::asio::buffer(head_), boost::asio::buffer(chunk_line_),
                                                    boost::asio::buffer(body.data(), body.size()),
                                                    boost::asio::buffer(chunk_end.data(), chunk_end.size()),
                                                    boost::asio::buffer(terminator.data(), terminator.size())},
          last);
}

void connection::handle_write(const boost::system::error_code& error, bool last)
{
    writing_ = false;
    if (phase_ == phase::stopped)
        return;
    if (error) {
        connections_.stop(shared_from_this());
        return;
    }
    head_.clear();
    if (last) {
        finish_reply();
        return;
    }
    piece_.reset();
    ask_stream();
}

void connection::finish_reply()
{
    stream_.reset();
    piece_.reset();
    if (keep_ && (framing_.framing != body_framing::length || framing_.length == 0)) {
        next_request();
        return;
    }
    // A body shorter than its head promised ends with the connection: the
    // client sees that it is short. Requests it may have sent after it are
    // left unanswered.
    if (keep_)
        client_may_send_more_ = true;
    // Closing while the client's bytes are unread could reset the connection
    // and lose the reply's end at the client: such a client is given time to
    // finish. Any other is done, and the close sends the reply's end and FIN.
    if (!client_may_send_more_) {
        connections_.stop(shared_from_this());
        return;
    }
    phase_ = phase::lingering;
    boost::system::error_code ignored;
    socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    arm_deadline(limits_.linger_time);
    if (!read_pending_)
        read_more();
}

void connection::next_request()
{
    phase_ = phase::reading;
    request_ = request();
    parser_ = request_parser();
    reply_ = reply();
    framing_ = reply_framing{};
    http11_ = keep_ = false;
    arm_deadline(limits_.header_timeout);
    std::string input;
    input.swap(pending_);
    take_input(input.data(), input.data() + input.size());
}

void connection::ask_stream()
{
    // The stream may deliver on any thread; the event is taken on the event loop.
    stream_->next([self = shared_from_this()](stream_event event) {
        boost::asio::post(self->socket_.get_executor(),
                          [self, event = std::move(event)]() mutable { self->handle_event(std::move(event)); });
    });
}

void connection::handle_event(stream_event event)
{
    if (phase_ != phase::replying || !stream_)
        return;
    switch (event.what) {
    case stream_event::kind::head:
        reply_ = std::move(event.head);
        write_reply(event.complete);
        return;
    case stream_event::kind::data:
        piece_ = std::move(event.owner);
        write_body(event.data, false);
        return;
    case stream_event::kind::end:
        if (framing_.framing == body_framing::chunked)
            write_body({}, true);  // the last chunk
        else
            finish_reply();
        return;
    case stream_event::kind::failed:
        // Closing before the body is complete tells the client that it failed.
        connections_.stop(shared_from_this());
        return;
    }
}
void connection::arm_deadline(std::chrono::milliseconds after)
{
    // The timer is set again only when the new deadline comes first: one that
    // fires early looks at the current deadline and waits on for it.
    deadline_at_ = std::chrono::steady_clock::now() + after;
    if (deadline_armed_ && deadline_.expiry() <= deadline_at_)
        return;
    deadline_armed_ = true;
    deadline_.expires_at(deadline_at_);
    deadline_.async_wait(
        [self = shared_from_this()](const boost::system::error_code& error) { self->handle_deadline(error); });
}

void connection::handle_deadline(const boost::system::error_code& error)
{
    if (error || phase_ == phase::stopped)
        return;  // cancelled, or replaced by an earlier deadline
    deadline_armed_ = false;
    const auto now = std::chrono::steady_clock::now();
    if (now < deadline_at_) {
        arm_deadline(std::chrono::duration_cast<std::chrono::milliseconds>(deadline_at_ - now) +
                     std::chrono::milliseconds(1));
        return;
    }
    if (phase_ == phase::replying) {
        if (!writing_)
            return;  // waiting for the reply's next piece is not the client's doing
        const auto idle = now - last_progress_;
        if (idle < limits_.write_timeout) {
            arm_deadline(std::chrono::duration_cast<std::chrono::milliseconds>(limits_.write_timeout - idle) +
                         std::chrono::milliseconds(1));
            return;
        }
    }
    // The header did not come in time, the client stopped reading, or the
    // linger time is over.
    connections_.stop(shared_from_this());
}

}  // namespace http
