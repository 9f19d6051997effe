// The lifecycle of one connection: read the request, write the reply (in one
// gathered write, or event by event from its stream), linger, close.
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
    socket_.async_read_some(boost::asio::buffer(buffer_),
                            [self = shared_from_this()](const boost::system::error_code& error, std::size_t n) {
                                self->handle_read(error, n);
                            });
}

void connection::handle_read(const boost::system::error_code& error, std::size_t bytes_transferred)
{
    if (phase_ == phase::stopped)
        return;
    if (error) {
        connections_.stop(shared_from_this());
        return;
    }
    const char* const end = buffer_.data() + bytes_transferred;
    if (reading_body_) {
        take_body(buffer_.data(), end);
        return;
    }
    // Bytes after the end of the request header are never looked at, but for
    // the body of a request whose handler takes one.
    const auto [result, decided_at] = parser_.parse(request_, buffer_.data(), end);
    if (boost::indeterminate(result)) {
        read_more();
        return;
    }
    if (result) {
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
    client_may_send_more_ = decided_at != end || !static_cast<bool>(result) || announces_body(request_);
    if (result)
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
        read_more();
        return;
    }
    reading_body_ = false;
    phase_ = phase::replying;
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
    watching_ = true;
    socket_.async_read_some(boost::asio::buffer(buffer_),
                            [self = shared_from_this()](const boost::system::error_code& error, std::size_t) {
                                self->handle_client_bytes(error);
                            });
}

void connection::handle_client_bytes(const boost::system::error_code& error)
{
    if (phase_ == phase::stopped)
        return;
    // While replying, a client that closed or reset has given up on the reply;
    // while lingering, it is done. What it sends besides is dropped.
    if (error) {
        connections_.stop(shared_from_this());
        return;
    }
    client_may_send_more_ = true;
    watch_client();
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
    head_ = wire_head(reply_);
    const std::string_view body = wire_body(reply_);
    write(std::array<boost::asio::const_buffer, 2>{boost::asio::buffer(head_), boost::asio::buffer(body.data(), body.size())},
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
    if (!watching_)
        watch_client();
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
    if (phase_ != phase::replying)
        return;
    switch (event.what) {
    case stream_event::kind::head:
        reply_ = std::move(event.head);
        write_reply(event.complete);
        return;
    case stream_event::kind::data:
        piece_ = std::move(event.owner);
        write(boost::asio::buffer(event.data.data(), event.data.size()), false);
        return;
    case stream_event::kind::end:
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
