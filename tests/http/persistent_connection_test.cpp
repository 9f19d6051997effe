// The server's connections over real sockets, with a handler of fixed replies:
// HTTP/1.0 exchanges byte for byte as they always were; HTTP/1.1 answered as
// HTTP/1.1 on a connection that serves request after request, pipelined ones in
// order, bodies of unknown length in chunks, closed when asked, when a body
// comes out short, and when it stays idle.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/reply.h"
#include "http/reply_stream.h"
#include "http/request_handler.h"
#include "http/server.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// A stream that hands out a fixed list of events, each as soon as it is asked.
class scripted_stream : public http::reply_stream {
public:
    explicit scripted_stream(std::vector<http::stream_event> events) : events_(std::move(events)) {}

    void next(std::function<void(http::stream_event)> deliver) override
    {
        if (at_ < events_.size())
            deliver(events_[at_++]);
    }

    void cancel() override { at_ = events_.size(); }

private:
    std::vector<http::stream_event> events_;
    std::size_t at_ = 0;
};

http::stream_event head_event(std::vector<http::header> headers, bool complete = false, std::string content = {})
{
    http::stream_event event;
    event.what = http::stream_event::kind::head;
    event.head.headers = std::move(headers);
    event.head.content = std::move(content);
    event.complete = complete;
    return event;
}

http::stream_event data_event(const std::string& text)
{
    http::stream_event event;
    event.what = http::stream_event::kind::data;
    event.owner = std::make_shared<const std::string>(text);
    event.data = *event.owner;
    return event;
}

http::stream_event end_event(http::stream_event::kind what)
{
    http::stream_event event;
    event.what = what;
    return event;
}

constexpr auto ended = http::stream_event::kind::end;
constexpr auto failed = http::stream_event::kind::failed;

// Fixed replies by target: whole ones, streamed ones of known and unknown
// length that end, fail or break their promise, a 304, a POST echo.
class fixed_replies : public http::request_handler {
public:
    std::size_t body_limit(const http::request& req) override { return req.method == "POST" ? 100 : 0; }

    void handle_request(const http::request& req, http::reply& rep) override
    {
        const std::string& uri = req.uri;
        const std::vector<http::header> sized{{"Content-Length", "10"}};
        const std::vector<http::header> unsized{{"Content-Type", "text/plain"}};
        if (uri == "/text") {
            rep = http::text_reply(http::ok, "hello");
        } else if (uri == "/echo") {
            rep = http::text_reply(http::ok, req.body);
        } else if (uri == "/unchanged") {
            rep.status = http::not_modified;
            rep.headers = {{"ETag", "\"1\""}};
        } else if (uri == "/bare") {
            rep.content = "bare";
            rep.headers = unsized;
        } else if (uri == "/late") {
            rep.stream = stream({head_event({{"Content-Length", "4"}}, true, "late")});
        } else if (uri == "/sized") {
            rep.stream = stream({head_event(sized), data_event("01234"), data_event("56789"), end_event(ended)});
        } else if (uri == "/sized-short") {
            rep.stream = stream({head_event(sized), data_event("01234"), end_event(ended)});
        } else if (uri == "/sized-failed") {
            rep.stream = stream({head_event(sized), data_event("01234"), end_event(failed)});
        } else if (uri == "/sized-over") {
            rep.stream = stream({head_event({{"Content-Length", "3"}}), data_event("abcdef"), end_event(ended)});
        } else if (uri == "/unsized") {
            rep.stream = stream({head_event(unsized), data_event("abc"), data_event("defg"), end_event(ended)});
        } else if (uri == "/unsized-failed") {
            rep.stream = stream({head_event(unsized), data_event("abc"), end_event(failed)});
        } else if (uri == "/throw") {
            throw std::runtime_error("no reply");
        } else {
            rep = http::canned_reply(http::not_found);
        }
        if (req.method == "HEAD")
            rep.content.clear();
    }

private:
    static std::shared_ptr<http::reply_stream> stream(std::vector<http::stream_event> events)
    {
        return std::make_shared<scripted_stream>(std::move(events));
    }
};

constexpr std::chrono::milliseconds idle_limit{1500};

class Connections : public ::testing::Test {
protected:
    Connections() : server_(handler_, limits()), loop_([this] { server_.run(); }) {}

    ~Connections() override
    {
        server_.stop();
        loop_.join();
    }

    static http::connection_limits limits()
    {
        http::connection_limits limits;
        limits.header_timeout = idle_limit;
        return limits;
    }

    std::string url(const std::string& target) const
    {
        return "http://127.0.0.1:" + std::to_string(server_.port()) + target;
    }

    fixed_replies handler_;
    http::server server_;
    std::thread loop_;
};

const std::string text_reply_10 =
    "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nhello";

const std::string text_reply_11 =
    "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nhello";

// The headers and body of a status's own page, after its status line.
std::string page(const std::string& status, const std::string& title, const std::string& more_headers = "")
{
    const std::string body = "<html><head><title>" + title + "</title></head><body><h1>" + status + " " + title +
                             "</h1></body></html>";
    return "Content-Length: " + std::to_string(body.size()) + "\r\nContent-Type: text/html\r\n" + more_headers +
           "\r\n" + body;
}

void send_all(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

// Reads until `size` bytes came, the server closed, or nothing came for 5 s.
std::string read_bytes(int fd, std::size_t size)
{
    std::string received;
    char buffer[65536];
    while (received.size() < size) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, size - received.size()), 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

// What the server does next on the connection within `limit`: "closed",
// "quiet" (nothing), or the bytes it sent.
std::string next_from_server(int fd, std::chrono::milliseconds limit)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(limit.count())) <= 0)
        return "quiet";
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    return n <= 0 ? "closed" : std::string(buffer, static_cast<std::size_t>(n));
}

std::string curl_path()
{
    return "/usr/bin/curl";
}

}  // namespace

// Captured from the server as it was before it kept connections: every
// HTTP/1.0 exchange must stay exactly so, the close included.
TEST_F(Connections, HttpOneZeroExchangesAreUnchangedByteForByte)
{
    struct exchange {
        std::string request;
        std::string reply;
    } table[] = {
        {"GET /text HTTP/1.0\r\n\r\n", text_reply_10},
        {"GET /text HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", text_reply_10},
        {"GET /text HTTP/1.0\r\n\r\nGET /sized HTTP/1.0\r\n\r\n", text_reply_10},
        {"HEAD /text HTTP/1.0\r\n\r\n",
         "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"},
        {"GET /unchanged HTTP/1.0\r\n\r\n", "HTTP/1.0 304 Not Modified\r\nETag: \"1\"\r\n\r\n"},
        {"GET /bare HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nbare"},
        {"GET /late HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nlate"},
        {"GET /sized HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"},
        {"GET /sized-short HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234"},
        {"GET /sized-failed HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n01234"},
        {"GET /sized-over HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"},
        {"GET /unsized HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nabcdefg"},
        {"GET /unsized-failed HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nabc"},
        {"GET /nothing HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found\r\n" + page("404", "Not Found")},
        {"GET /throw HTTP/1.0\r\n\r\n", "HTTP/1.0 500 Internal Server Error\r\n" + page("500", "Internal Server Error")},
        {"GET / http/1.0\r\n\r\n", "HTTP/1.0 400 Bad Request\r\n" + page("400", "Bad Request")},
        {"GET / HTTP/1.0\r\nBad header\r\n\r\n", "HTTP/1.0 400 Bad Request\r\n" + page("400", "Bad Request")},
        {"POST /echo HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nabc"},
        {"POST /echo HTTP/1.0\r\n\r\n", "HTTP/1.0 411 Length Required\r\n" + page("411", "Length Required")},
        {"POST /echo HTTP/1.0\r\nContent-Length: 101\r\n\r\n",
         "HTTP/1.0 413 Payload Too Large\r\n" + page("413", "Payload Too Large")},
    };
    for (const exchange& e : table)
        EXPECT_EQ(http_exchange(server_.port(), e.request), e.reply) << e.request;
}

TEST_F(Connections, HttpOneOneRepliesAreFramedAndKeepTheConnectionUnlessTheyCannot)
{
    const std::string sized_11 = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n";
    const std::string chunked_head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n";
    const std::string text_close =
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n\r\nhello";
    struct exchange {
        std::string request;
        std::string reply;
        bool kept;
    } table[] = {
        {"GET /text HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", text_reply_11, true},
        {"GET /text HTTP/1.1\r\n\r\n", text_reply_11, true},
        {"GET /text HTTP/1.1\r\nConnection: keep-alive\r\n\r\n", text_reply_11, true},
        {"GET /text HTTP/1.2\r\n\r\n", text_reply_11, true},
        {"HEAD /text HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n", true},
        {"GET /unchanged HTTP/1.1\r\n\r\n", "HTTP/1.1 304 Not Modified\r\nETag: \"1\"\r\n\r\n", true},
        {"GET /bare HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4\r\n\r\nbare", true},
        {"GET /late HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate", true},
        {"GET /sized HTTP/1.1\r\n\r\n", sized_11 + "\r\n0123456789", true},
        {"HEAD /sized HTTP/1.1\r\n\r\n", sized_11 + "\r\n", true},
        {"GET /unsized HTTP/1.1\r\n\r\n", chunked_head + "\r\n3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n", true},
        {"HEAD /unsized HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n", true},
        {"GET /nothing HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n" + page("404", "Not Found"), true},
        {"GET /throw HTTP/1.1\r\n\r\n", "HTTP/1.1 500 Internal Server Error\r\n" + page("500", "Internal Server Error"),
         true},
        {"POST /echo HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nabc", true},
        // The client asks for the close.
        {"GET /text HTTP/1.1\r\nConnection: close\r\n\r\n", text_close, false},
        {"GET /text HTTP/1.1\r\nConnection: keep-alive, CLOSE\r\n\r\n", text_close, false},
        {"GET /unsized HTTP/1.1\r\nConnection: close\r\n\r\n",
         chunked_head + "Connection: close\r\n\r\n3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n", false},
        // A body that does not come whole: the client must see it short.
        {"GET /sized-short HTTP/1.1\r\n\r\n", sized_11 + "\r\n01234", false},
        {"GET /sized-failed HTTP/1.1\r\n\r\n", sized_11 + "\r\n01234", false},
        {"GET /unsized-failed HTTP/1.1\r\n\r\n", chunked_head + "\r\n3\r\nabc\r\n", false},
        // More than promised: the promise, then the close.
        {"GET /sized-over HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", false},
        // Bytes the server cannot place: where the next request starts is unknown.
        {"GET / HTTP/1.1\r\nBad header\r\n\r\n",
         "HTTP/1.1 400 Bad Request\r\n" + page("400", "Bad Request", "Connection: close\r\n"), false},
        {"GET / http/1.1\r\n\r\n", "HTTP/1.0 400 Bad Request\r\n" + page("400", "Bad Request"), false},
        {"GET /text HTTP/1.1\r\nContent-Length: 2\r\n\r\nab", text_close, false},
        {"POST /echo HTTP/1.1\r\n\r\n",
         "HTTP/1.1 411 Length Required\r\n" + page("411", "Length Required", "Connection: close\r\n"), false},
    };
    for (const exchange& e : table) {
        const int fd = connect_loopback(server_.port());
        ASSERT_GE(fd, 0);
        send_all(fd, e.request);
        EXPECT_EQ(read_bytes(fd, e.reply.size()), e.reply) << e.request;
        if (e.kept) {
            EXPECT_EQ(next_from_server(fd, std::chrono::milliseconds(100)), "quiet") << e.request;
            send_all(fd, "GET /text HTTP/1.1\r\n\r\n");
            EXPECT_EQ(read_bytes(fd, text_reply_11.size()), text_reply_11) << "after " << e.request;
        } else {
            EXPECT_EQ(next_from_server(fd, std::chrono::seconds(5)), "closed") << e.request;
        }
        close(fd);
    }
}

TEST_F(Connections, PipelinedRequestsAreAnsweredInOrder)
{
    const int fd = connect_loopback(server_.port());
    ASSERT_GE(fd, 0);
    send_all(fd, "GET /sized HTTP/1.1\r\n\r\nGET /unsized HTTP/1.1\r\nHost: localhost\r\n\r\nGET /text HTTP/1.1\r\n\r\n");
    const std::string expected = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"
                                 "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
                                 "3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n" +
                                 text_reply_11;
    EXPECT_EQ(read_bytes(fd, expected.size()), expected);

    // A body, a HEAD and a request split across writes, among others; the last
    // asks for the close.
    send_all(fd, "POST /echo HTTP/1.1\r\nContent-Length: 4\r\n\r\nbodyHEAD /sized HTTP/1.1\r\n\r\nGET /la");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_all(fd, "te HTTP/1.1\r\n\r\nGET /text HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string more =
        "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nbody"
        "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n"
        "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate"
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n\r\nhello";
    EXPECT_EQ(read_bytes(fd, more.size()), more);
    EXPECT_EQ(next_from_server(fd, std::chrono::seconds(5)), "closed");
    close(fd);
}

TEST_F(Connections, ManyPipelinedRequestsBeyondTheReadAheadAreAllAnswered)
{
    // More requests than the connection reads ahead while it streams a reply:
    // the rest wait in the socket and are answered in turn.
    constexpr int count = 4000;
    std::string requests, expected;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            requests += "GET /unsized HTTP/1.1\r\n\r\n";
            expected += "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "3\r\nabc\r\n4\r\ndefg\r\n0\r\n\r\n";
        } else {
            requests += "GET /text HTTP/1.1\r\n\r\n";
            expected += text_reply_11;
        }
    }
    ASSERT_GT(requests.size(), std::size_t{64 * 1024}) << "more than a connection reads ahead";
    const int fd = connect_loopback(server_.port());
    ASSERT_GE(fd, 0);
    std::thread sender([&] { send_all(fd, requests); });
    const std::string received = read_bytes(fd, expected.size());
    sender.join();
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the replies differ from the requests' order";
    close(fd);
}

TEST_F(Connections, AnIdleConnectionIsClosedAfterTheHeaderTimeout)
{
    const int fd = connect_loopback(server_.port());
    ASSERT_GE(fd, 0);
    send_all(fd, "GET /text HTTP/1.1\r\n\r\n");
    ASSERT_EQ(read_bytes(fd, text_reply_11.size()), text_reply_11);
    const auto replied = std::chrono::steady_clock::now();
    EXPECT_EQ(next_from_server(fd, idle_limit + std::chrono::seconds(3)), "closed");
    const auto idle = std::chrono::steady_clock::now() - replied;
    EXPECT_GE(idle, idle_limit - std::chrono::milliseconds(100));
    EXPECT_LT(idle, idle_limit + std::chrono::seconds(1));
    close(fd);

    // A request begun and not finished counts as idle too.
    const int slow = connect_loopback(server_.port());
    ASSERT_GE(slow, 0);
    send_all(slow, "GET /text HTTP/1.1\r\n\r\nGET /te");
    ASSERT_EQ(read_bytes(slow, text_reply_11.size()), text_reply_11);
    EXPECT_EQ(next_from_server(slow, idle_limit + std::chrono::seconds(3)), "closed");
    close(slow);
}

TEST_F(Connections, CurlAndWgetReuseOneConnectionForSeveralUrls)
{
    temp_folder out;
    const process_result curl =
        run_process(curl_path(), {"-sS", "-v", "-w", "%{num_connects} ", "-o", out.path() + "1", url("/text"), "-o",
                                  out.path() + "2", url("/unsized"), "-o", out.path() + "3", url("/sized"), "-o",
                                  out.path() + "4", url("/unchanged"), "-o", out.path() + "5", url("/late")});
    EXPECT_EQ(curl.exit_status, 0) << curl.err;
    EXPECT_EQ(curl.out, "1 0 0 0 0 ") << "connections made for each URL";
    EXPECT_NE(curl.err.find("Re-using existing connection"), std::string::npos) << curl.err;
    EXPECT_NE(curl.err.find("< Transfer-Encoding: chunked"), std::string::npos) << curl.err;
    EXPECT_EQ(read_file(out.path() + "1"), "hello");
    EXPECT_EQ(read_file(out.path() + "2"), "abcdefg") << "the chunks decoded";
    EXPECT_EQ(read_file(out.path() + "3"), "0123456789");
    EXPECT_EQ(read_file(out.path() + "5"), "late");

    // Bodies that do not come whole fail at the client, chunked or not.
    for (const std::string target : {"/unsized-failed", "/sized-failed", "/sized-short"}) {
        const process_result cut = run_process(curl_path(), {"-sS", url(target)});
        EXPECT_NE(cut.exit_status, 0) << target << ": " << cut.out;
    }

    const process_result wget =
        run_process("/usr/bin/wget", {"-O", "-", "--no-config", url("/text"), url("/unsized"), url("/sized")});
    EXPECT_EQ(wget.exit_status, 0) << wget.err;
    EXPECT_EQ(wget.out, "helloabcdefg0123456789");
    EXPECT_NE(wget.err.find("Reusing existing connection"), std::string::npos) << wget.err;
}
