// The HTTP server: listens on 127.0.0.1 at a port the system picks and answers
// each connection's one request through the request handler, all on one event
// loop on the thread that runs it. The server owns the listening socket and the
// live connections; the handler belongs to the caller and outlives the server.
#pragma once

#include <functional>
#include <initializer_list>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/connection.h"
#include "http/connection_set.h"
#include "http/request_handler.h"

namespace http {

class server {
public:
    // Binds, listens and starts the first accept; errors of setting up the
    // listening socket are raised as boost::system::system_error.
    explicit server(request_handler& handler, const connection_limits& limits = {});
    server(const server&) = delete;

    // Closes every connection first, so that no streamed reply reaches for the
    // event loop once it is gone.
    ~server();
    server& operator=(const server&) = delete;

    // The port the system gave the listening socket, in host byte order.
    unsigned short port() const;

    // Runs the event loop until it has no more work or stop() was called.
    void run();

    // Stops accepting and closes every connection, cancelling streamed replies;
    // run() then returns. Safe to call from any thread.
    void stop();

    // Stops accepting and closes every connection at once, cancelling streamed
    // replies; only while the event loop is not running.
    void close_connections() { close_all(); }

    // Runs `work` on the event loop, soon; safe to call from any thread. Work
    // posted once the loop has ended is dropped.
    void post(std::function<void()> work);

    // Calls stop() when the process receives one of these signals.
    void stop_on_signals(std::initializer_list<int> signal_numbers);

private:
    void close_all();
    void start_accept();
    void handle_accept(const boost::system::error_code& error);

    // Run by one thread; other threads only post to it.
    boost::asio::io_context io_{1};
    boost::asio::ip::tcp::acceptor acceptor_;
    connection_set connections_;
    request_handler& handler_;
    const connection_limits limits_;
    connection_ptr waiting_connection_;
    boost::asio::steady_timer accept_pause_;
    boost::asio::signal_set signals_;
};

}  // namespace http
