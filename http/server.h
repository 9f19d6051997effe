// The HTTP server: listens on 127.0.0.1 at a port the system picks and answers
// each connection's one request through the request handler, all on one event
// loop on the thread that runs it.
#pragma once

#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include "browse/request_handler.h"
#include "http/connection.h"
#include "http/connection_set.h"

namespace http::server {

class server {
public:
    // Binds, listens and starts the first accept; errors of setting up the
    // listening socket are raised as boost::system::system_error.
    explicit server(const std::string& document_root);
    server(const server&) = delete;
    server& operator=(const server&) = delete;

    // The port the system gave the listening socket, in host byte order.
    unsigned short port() const;

    // Runs the event loop until it has no more work.
    void run();

    request_handler& handler() { return handler_; }

private:
    void start_accept();
    void handle_accept(const boost::system::error_code& error);

    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    connection_set connections_;
    connection_ptr waiting_connection_;
    request_handler handler_;
    boost::asio::steady_timer accept_pause_;
};

// The program's one server: start_server creates it and stores it in
// server_instance; the caller deletes it after run_server returns.
server* start_server(const std::string& document_root);
unsigned short server_port();
void run_server();

}  // namespace http::server
