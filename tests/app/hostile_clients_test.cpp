// Clients that misbehave, and clients that only look unusual, against the real
// program over plain sockets: each gets a bounded share of the server, and the
// others go on being served.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

constexpr std::size_t big_size = 16u << 20;

class HostileClients : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_.write_file("HTML/index.html", "page");
        std::string big(big_size, '\0');
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>((i * 2654435761u) >> 13);
        work_.write_file("content/big.bin", big);
        work_.write_file("content/small.txt", "small item");
        run_7z({"a", "-bd", "-tzip", "-mx=0", work_.path() + "a.zip", "big.bin", "small.txt"}, work_.path() + "content");
    }

    std::unique_ptr<running_program> start(const std::string& archive, std::vector<std::string> environment = {})
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port_, std::move(environment));
    }

    temp_folder work_;
    unsigned short port_ = 0;
};

}  // namespace

TEST_F(HostileClients, ConnectionsThatNeverFinishTheirHeaderAreClosedWithoutAReply)
{
    auto program = start("a.zip", {"VORSEL_HEADER_TIMEOUT_MS=300"});
    std::vector<int> idle;
    for (int i = 0; i < 50; ++i) {
        const int fd = connect_loopback(port_);
        ASSERT_GE(fd, 0);
        if (i % 2)  // half of them send the start of a request, the others nothing
            send(fd, "GET /index.html HTTP/1.0\r\nHost: 127", 35, MSG_NOSIGNAL);
        idle.push_back(fd);
    }
    EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/small.txt")), "small item");
    for (int fd : idle) {
        EXPECT_EQ(read_until_closed(fd), "");
        close(fd);
    }
}

TEST_F(HostileClients, AClientThatStopsReadingIsDroppedAndItsWorkerFreed)
{
    // Without the cache, an item's bytes wait in its queue for the client.
    auto program = start("a.zip", {"VORSEL_WRITE_TIMEOUT_MS=500", "VORSEL_CACHE_BYTES=0"});
    // More clients than the server has workers ask for the large item and read
    // nothing; a further client is served whole beside them (the pool lends it
    // a worker), and the server gives up on them once the write timeout has
    // passed without progress, which frees their workers.
    const unsigned stalled_count = std::max(2u, std::thread::hardware_concurrency()) + 1;
    std::vector<int> stalled;
    for (unsigned i = 0; i < stalled_count; ++i) {
        const int fd = connect_loopback(port_);
        ASSERT_GE(fd, 0);
        int small_buffer = 65536;  // still a whole segment, so that what was sent drains at once
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small_buffer, sizeof small_buffer);
        const std::string request = "GET /ArchiveContent/big.bin HTTP/1.0\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        stalled.push_back(fd);
    }
    EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/big.bin")).size(), big_size);
    // Still reading nothing, well past the timeout: every one of them is cut short.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    for (int fd : stalled) {
        EXPECT_LT(read_until_closed(fd).size(), big_size);
        close(fd);
    }
    // Their workers are free: the server serves on.
    EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/big.bin")).size(), big_size);
}

TEST_F(HostileClients, AConsoleThatWentAwayDoesNotStopTheServer)
{
    // Standard output is a pipe whose reader leaves after the listening line,
    // and says so.
    process_options options;
    options.working_directory = work_.path();
    options.environment = {"BROWSER=/bin/true"};
    running_program program("/bin/bash", {"-c", "exec \"$0\" a.zip > >(head -n 2; exec 0<&-; echo gone)",
                                          VORSEL_EXECUTABLE},
                            options);
    port_ = program.wait_for_port();
    ASSERT_NE(port_, 0);
    ASSERT_TRUE(program.wait_for_output("gone"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/small.txt")), "small item");
}

TEST_F(HostileClients, MethodsHostFormsAndQueryStrings)
{
    auto program = start("a.zip");
    struct row {
        std::string request;
        std::string status_line;
        std::string body;
    };
    const row table[] = {
        {"GET /index.html?v=2 HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "page"},
        {"GET /ArchiveContent/small.txt?download HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "small item"},
        {"HEAD /ArchiveContent/small.txt HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", ""},
        {"HEAD /ArchiveContent/big.bin HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", ""},
        {"HEAD /missing HTTP/1.0\r\n\r\n", "HTTP/1.0 404 Not Found", ""},
        {"POST /index.html HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc", "HTTP/1.0 501 Not Implemented", "*"},
        {"DELETE /ArchiveContent HTTP/1.0\r\n\r\n", "HTTP/1.0 501 Not Implemented", "*"},
        {"GET /index.html HTTP/1.0\r\nHost:127.0.0.1\r\n\r\n", "HTTP/1.0 200 OK", "page"},
        {"GET /index.html HTTP/1.0\r\nHost: 127.0.0.1 \r\n\r\n", "HTTP/1.0 200 OK", "page"},
        {"GET /index.html HTTP/1.0\r\nHost: localhost:65535\r\n\r\n", "HTTP/1.0 200 OK", "page"},
        {"GET /index.html HTTP/1.0\r\nHost: 127.0.0.1:65536\r\n\r\n", "HTTP/1.0 403 Forbidden", "*"},
        // A body and a second request after the first: the reply arrives whole.
        {"GET /index.html HTTP/1.0\r\n\r\n" + std::string(200000, 'x'), "HTTP/1.0 200 OK", "page"},
        {"GET /index.html HTTP/1.0\r\n\r\nGET /index.html HTTP/1.0\r\n\r\n", "HTTP/1.0 200 OK", "page"},
    };
    for (const row& r : table) {
        const std::string reply = http_exchange(port_, r.request);
        EXPECT_EQ(reply_status_line(reply), r.status_line) << r.request.substr(0, 60);
        if (r.body != "*") {
            EXPECT_EQ(reply_body(reply), r.body) << r.request.substr(0, 60);
        }
    }
    const std::string head = http_exchange(port_, "HEAD /ArchiveContent/big.bin HTTP/1.0\r\n\r\n");
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(big_size) + "\r\n"), std::string::npos) << head;
}

TEST_F(HostileClients, AnItemOfUnknownSizeStopsAtTheMemoryBudget)
{
    // A bzip2 stream does not record the size of what it holds.
    work_.write_file("content/notes.txt", std::string(3 << 20, 'n'));
    run_7z({"a", "-bd", "-tbzip2", work_.path() + "notes.txt.bz2", "notes.txt"}, work_.path() + "content");
    {
        auto program = start("notes.txt.bz2", {"VORSEL_MEMORY_BUDGET=1000000"});
        EXPECT_EQ(reply_status_line(http_get(port_, "/ArchiveContent/notes.txt")),
                  "HTTP/1.0 500 Internal Server Error");
        EXPECT_EQ(reply_status_line(http_get(port_, "/ArchiveContent")), "HTTP/1.0 200 OK") << "the server goes on";
    }
    auto program = start("notes.txt.bz2");
    EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/notes.txt")), std::string(3 << 20, 'n'));
}
