// Listening socket and accept loop of the server.
#include "http/server.h"

#include <chrono>

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>


namespace http {

server::server(request_handler& handler, const connection_limits& limits)
    : acceptor_(io_),
      handler_(handler),
      limits_(limits),
      waiting_connection_(std::make_shared<connection>(io_, connections_, handler_, limits_)),
      accept_pause_(io_),
      signals_(io_)
{
    boost::asio::ip::tcp::resolver resolver(io_);
    boost::asio::ip::tcp::endpoint endpoint =
        *resolver.resolve("127.0.0.1", "0", boost::asio::ip::resolver_base::address_configured).begin();
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(boost::asio::socket_base::max_listen_connections);
    start_accept();
}

unsigned short server::port() const
{
    boost::system::error_code ignored;
    return acceptor_.local_endpoint(ignored).port();
}

void server::run()
{
    io_.run();
}

server::~server()
{
    close_all();
}

void server::stop()
{
    boost::asio::post(io_, [this] {
        close_all();
        io_.stop();
    });
}

void server::post(std::function<void()> work)
{
    boost::asio::post(io_, std::move(work));
}

void server::close_all()
{
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    accept_pause_.cancel();
    signals_.cancel(ignored);
    connections_.stop_all();
    waiting_connection_->stop();
}

void server::stop_on_signals(std::initializer_list<int> signal_numbers)
{
    for (int number : signal_numbers)
        signals_.add(number);
    signals_.async_wait([this](const boost::system::error_code& error, int) {
        if (!error)
            stop();
    });
}

void server::start_accept()
{
    acceptor_.async_accept(waiting_connection_->socket(),
                           [this](const boost::system::error_code& error) { handle_accept(error); });
}

void server::handle_accept(const boost::system::error_code& error)
{
    if (error == boost::asio::error::operation_aborted)
        return;
    if (!error) {
        connections_.start(waiting_connection_);
        waiting_connection_ = std::make_shared<connection>(io_, connections_, handler_, limits_);
        start_accept();
        return;
    }
    // Keep accepting for the rest of the run; when the system is out of
    // descriptors or memory, wait a little first so as not to spin.
    bool exhausted = error == boost::asio::error::no_descriptors || error == boost::asio::error::no_memory ||
                     error == boost::asio::error::no_buffer_space ||
                     (error.category() == boost::system::system_category() &&
                      error.value() == boost::system::errc::too_many_files_open_in_system);
    if (!exhausted) {
        start_accept();
        return;
    }
    accept_pause_.expires_after(std::chrono::milliseconds(100));
    accept_pause_.async_wait([this](const boost::system::error_code& wait_error) {
        if (!wait_error)
            start_accept();
    });
}

}  // namespace http
