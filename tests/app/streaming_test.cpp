// Large items through the real program over plain sockets: streamed byte for
// byte from every kind of compression, served in ranges, never completed when
// damaged, and never in the way of other requests, of clients that leave or of
// stopping.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"
#include "tests/support/zip_check.h"

using namespace test_support;

namespace {

// Larger than the queue of a streamed item, so that the worker has to wait
// for the client.
constexpr std::size_t big_size = 24u << 20;

// Deterministic bytes: runs of text that compress, between noise that does not.
std::string big_content()
{
    std::string bytes(big_size, '\0');
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (i / 4096) % 3 == 0 ? static_cast<char>('a' + i % 26) : static_cast<char>(state >> 24);
    }
    return bytes;
}

class Streaming : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        work_ = new temp_folder;
        content_ = new std::string(big_content());
        work_->write_file("HTML/index.html", "page");
        work_->write_file("content/big.bin", *content_);
        work_->write_file("content/small.txt", "small item");
        for (const auto& [name, options] : archives())
            make(name, options);
    }

    static void TearDownTestSuite()
    {
        delete work_;
        delete content_;
    }

    static std::vector<std::pair<std::string, std::vector<std::string>>> archives()
    {
        return {{"stored.zip", {"-tzip", "-mx=0"}},
                {"deflated.zip", {"-tzip", "-mx=1"}},
                {"lzma2.7z", {"-t7z", "-m0=lzma2", "-mx=1", "-ms=off"}}};
    }

    static void make(const std::string& name, const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments{"a", "-bd"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {work_->path() + name, "big.bin", "small.txt"});
        run_7z(arguments, work_->path() + "content");
    }

    // Flips a few bytes in the middle of the big item's stored bytes.
    static std::string damaged_copy(const std::string& name)
    {
        std::string bytes = read_file(work_->path() + name);
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i)
            bytes[i] = static_cast<char>(~bytes[i]);
        const std::string copy = "damaged-" + name;
        work_->write_file(copy, bytes);
        return copy;
    }

    std::unique_ptr<running_program> start(const std::string& archive, std::vector<std::string> environment = {})
    {
        return start_server(VORSEL_EXECUTABLE, work_->path(), archive, port_, std::move(environment));
    }

    static temp_folder* work_;
    static std::string* content_;
    unsigned short port_ = 0;
};

temp_folder* Streaming::work_ = nullptr;
std::string* Streaming::content_ = nullptr;

}  // namespace

TEST_F(Streaming, LargeItemsArriveByteExactWholeAndInRanges)
{
    for (const auto& [name, options] : archives()) {
        auto program = start(name);
        const std::string whole = http_get(port_, "/ArchiveContent/big.bin");
        EXPECT_EQ(reply_status_line(whole), "HTTP/1.0 200 OK") << name;
        EXPECT_EQ(reply_header(whole, "Content-Length"), std::to_string(big_size)) << name;
        EXPECT_EQ(reply_header(whole, "Accept-Ranges"), "bytes") << name;
        EXPECT_TRUE(reply_body(whole) == *content_) << name << ": the body differs";

        const std::string tail = http_exchange(
            port_, "GET /ArchiveContent/big.bin HTTP/1.0\r\nRange: bytes=-1048576\r\n\r\n");
        EXPECT_EQ(reply_status_line(tail), "HTTP/1.0 206 Partial Content") << name;
        EXPECT_EQ(reply_header(tail, "Content-Range"),
                  "bytes " + std::to_string(big_size - 1048576) + "-" + std::to_string(big_size - 1) + "/" +
                      std::to_string(big_size))
            << name;
        EXPECT_TRUE(reply_body(tail) == content_->substr(big_size - 1048576)) << name;

        const std::string middle = http_exchange(
            port_, "GET /ArchiveContent/big.bin HTTP/1.0\r\nRange: bytes=5000000-5000099\r\n\r\n");
        EXPECT_EQ(reply_body(middle), content_->substr(5000000, 100)) << name;
        EXPECT_EQ(reply_status_line(http_exchange(
                      port_, "GET /ArchiveContent/big.bin HTTP/1.0\r\nRange: bytes=" + std::to_string(big_size) +
                                 "-\r\n\r\n")),
                  "HTTP/1.0 416 Range Not Satisfiable")
            << name;
    }
}

TEST_F(Streaming, ASmallItemIsAnsweredWhileALargeOneIsBeingExtracted)
{
    auto program = start("lzma2.7z");
    // The large item's client reads its head and then nothing: its extraction
    // stays under way, waiting for room in its queue.
    const int stalled = connect_loopback(port_);
    ASSERT_GE(stalled, 0);
    const std::string head = start_get(stalled, "/ArchiveContent/big.bin", 1);
    ASSERT_EQ(reply_status_line(head), "HTTP/1.0 200 OK");
    for (const char* target : {"/ArchiveContent/small.txt", "/ArchiveContent", "/index.html"})
        EXPECT_EQ(reply_status_line(http_get(port_, target)), "HTTP/1.0 200 OK") << target;
    EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/small.txt")), "small item");
    close(stalled);
}

TEST_F(Streaming, ADamagedItemNeverDeliversAllTheBytesItsHeadPromises)
{
    for (const auto& [name, options] : archives()) {
        auto program = start(damaged_copy(name));
        const std::string reply = http_get(port_, "/ArchiveContent/big.bin");
        const std::string status = reply_status_line(reply);
        if (status == "HTTP/1.0 200 OK")
            EXPECT_LT(reply_body(reply).size(), big_size) << name << ": a damaged item looked complete";
        else
            EXPECT_EQ(status, "HTTP/1.0 500 Internal Server Error") << name;
        // The server goes on.
        EXPECT_EQ(reply_body(http_get(port_, "/ArchiveContent/small.txt")), "small item") << name;
    }
}

// A zip item listed as nearly 4 GiB whose data ends after 5 bytes: its result
// is known long before 256 KiB of it are in, so it answers the plain 500
// every time, and never a 200 whose connection is cut.
TEST_F(Streaming, AShortDamagedItemAnswers500EveryTime)
{
    run_python(R"(
import struct, sys, zlib
data, size, name = b'hello', 0xFFFFFFF0, b'short.bin'
crc = zlib.crc32(data)
local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 10, 0, 0, 0, 0, crc, size, size, len(name), 0) + name + data
central = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 10, 0, 0, 0, 0, crc, size, size, len(name),
                      0, 0, 0, 0, 0, 0) + name
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, len(central), len(local), 0)
open(sys.argv[1], 'wb').write(local + central + end)
)",
               {work_->path() + "short.zip"});
    auto program = start("short.zip");
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string reply = http_get(port_, "/ArchiveContent/short.bin");
        ASSERT_EQ(reply_status_line(reply), "HTTP/1.0 500 Internal Server Error") << "attempt " << attempt;
        EXPECT_EQ(reply_header(reply, "Content-Length"), std::to_string(reply_body(reply).size()));
    }
}

TEST_F(Streaming, ClientsThatLeaveMidItemFreeTheirWorkers)
{
    auto program = start("deflated.zip");
    // More clients than workers leave in the middle, some with a reset; if their
    // extractions went on waiting for them, no worker would be left.
    for (int i = 0; i < 8; ++i) {
        const int fd = connect_loopback(port_);
        ASSERT_GE(fd, 0);
        start_get(fd, "/ArchiveContent/big.bin", 65536);
        if (i % 2) {
            linger reset{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        close(fd);
    }
    EXPECT_TRUE(reply_body(http_get(port_, "/ArchiveContent/big.bin")) == *content_);
}

TEST_F(Streaming, InterruptDuringAnExtractionEndsWithStatusZero)
{
    for (int signal_number : {SIGINT, SIGTERM}) {
        auto program = start("lzma2.7z");
        const int stalled = connect_loopback(port_);
        ASSERT_GE(stalled, 0);
        ASSERT_EQ(reply_status_line(start_get(stalled, "/ArchiveContent/big.bin", 1)), "HTTP/1.0 200 OK");
        program->signal(signal_number);
        EXPECT_EQ(program->wait_for_exit(), 0) << signal_number;
        // The stalled client sees its connection end before the body did.
        EXPECT_LT(read_until_closed(stalled).size(), big_size);
        close(stalled);
    }
}

TEST_F(Streaming, ClientsThatStopReadingLeaveWorkersForEveryLargeReply)
{
    // Without the cache an item's bytes wait in its queue for the client, so
    // each of these holds its extraction waiting: three for each worker the
    // server starts with.
    auto program = start("stored.zip", {"VORSEL_CACHE_BYTES=0"});
    const unsigned stalled_count = 3 * std::max(2u, std::thread::hardware_concurrency());
    std::vector<int> stalled;
    for (unsigned i = 0; i < stalled_count; ++i) {
        const int fd = connect_loopback(port_);
        ASSERT_GE(fd, 0);
        int small_buffer = 4096;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small_buffer, sizeof small_buffer);
        stalled.push_back(fd);
        // Its head has come: its extraction has started, beside the others'.
        ASSERT_EQ(reply_status_line(start_get(fd, "/ArchiveContent/big.bin", 1)), "HTTP/1.0 200 OK") << i;
    }
    // A fresh client gets the large item, a range of it and the zip of
    // everything, whole, long before any stalled client is given up on.
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/ArchiveContent";
    const std::string curl = "curl -sS --max-time 30 -w '%{http_code}' ";
    run_in(work_->path(), curl + "-o fresh.bin " + url + "/big.bin >fresh.status && " + curl +
                              "-r 5000000-15999999 -o range.bin " + url + "/big.bin >range.status && " + curl +
                              "-o fresh.zip '" + url + "?zip' >zip.status");
    EXPECT_EQ(read_file(work_->path() + "fresh.status"), "200");
    EXPECT_TRUE(read_file(work_->path() + "fresh.bin") == *content_) << "the item differs";
    EXPECT_EQ(read_file(work_->path() + "range.status"), "206");
    EXPECT_TRUE(read_file(work_->path() + "range.bin") == content_->substr(5000000, 11000000)) << "the range differs";
    EXPECT_EQ(read_file(work_->path() + "zip.status"), "200");
    EXPECT_EQ(zip_differences(work_->path() + "fresh.zip", work_->path() + "content"), "");
    for (int fd : stalled)
        close(fd);
}
