// The lifecycle of one connection: start, read until the request is decided,
// write the reply (in one gathered write, or event by event from its stream),
// shut down, stop.
#include "http/connection.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "http/connection_set.h"
#include "http/request_handler.h"

namespace http {

connection::connection(boost::asio::io_context& io, connection_set& connections, request_handler& handler)
    : socket_(io), connections_(connections), handler_(handler)
{
}

void connection::start()
{
    read_more();
}

void connection::stop()
{
    stopped_ = true;
    if (stream_) {
        stream_->cancel();
        stream_.reset();
    }
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
    if (error) {
        if (error != boost::asio::error::operation_aborted)
            connections_.stop(shared_from_this());
        return;
    }
    // Bytes after the end of the request header are never looked at.
    boost::tribool result = parser_.parse(request_, buffer_.data(), buffer_.data() + bytes_transferred).first;
    if (result) {
        // A request that fails while it is built (memory, the plug-in) gets a 500;
        // the server and every other connection go on.
        try {
            handler_.handle_request(request_, reply_);
        } catch (...) {
            reply_ = canned_reply(internal_server_error);
        }
        if (reply_.stream) {
            stream_ = std::move(reply_.stream);
            ask_stream();
            return;
        }
        write_reply();
    } else if (!result) {
        reply_ = canned_reply(bad_request);
        write_reply();
    } else {
        read_more();
    }
}

void connection::write_reply()
{
    boost::asio::async_write(socket_, wire_buffers(reply_),
                             [self = shared_from_this()](const boost::system::error_code& error, std::size_t) {
                                 self->handle_write(error);
                             });
}

void connection::handle_write(const boost::system::error_code& error)
{
    if (!error) {
        boost::system::error_code ignored;
        socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    }
    if (error != boost::asio::error::operation_aborted)
        connections_.stop(shared_from_this());
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
    if (stopped_)
        return;
    switch (event.what) {
    case stream_event::kind::head:
        reply_ = std::move(event.head);
        boost::asio::async_write(socket_, wire_buffers(reply_),
                                 [self = shared_from_this(), last = event.complete](
                                     const boost::system::error_code& error, std::size_t) {
                                     self->handle_stream_write(error, last);
                                 });
        return;
    case stream_event::kind::data:
        piece_ = std::move(event.data);
        boost::asio::async_write(socket_, boost::asio::buffer(piece_),
                                 [self = shared_from_this()](const boost::system::error_code& error, std::size_t) {
                                     self->handle_stream_write(error, false);
                                 });
        return;
    case stream_event::kind::end:
        handle_write({});
        return;
    case stream_event::kind::failed:
        // Closing before the body is complete tells the client that it failed.
        connections_.stop(shared_from_this());
        return;
    }
}

void connection::handle_stream_write(const boost::system::error_code& error, bool last)
{
    if (error || last) {
        handle_write(error);
        return;
    }
    piece_.clear();
    ask_stream();
}

}  // namespace http
