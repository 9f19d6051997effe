// HTTP/1.1 clients of the real program over real sockets: curl, wget and
// aria2c fetch items, ranges, listings and search results over connections
// they keep, and get every byte right.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// Larger than a streamed item's queue, so that it goes out as it is extracted.
constexpr std::size_t big_size = 12u << 20;

class PersistentConnections : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        work_ = new temp_folder;
        big_ = new std::string(known_bytes(big_size, 7));
        work_->write_file("HTML/index.html", "page");
        work_->write_file("content/big.bin", *big_);
        work_->write_file("content/notes.txt", "first line\nTODO: second line\n");
        run_7z({"a", "-bd", "-t7z", "-m0=lzma2", "-mx=1", work_->path() + "items.7z", "big.bin", "notes.txt"},
               work_->path() + "content");
    }

    static void TearDownTestSuite()
    {
        delete work_;
        delete big_;
    }

    void SetUp() override
    {
        program_ = start_server(VORSEL_EXECUTABLE, work_->path(), "items.7z", port_);
        ASSERT_NE(port_, 0);
    }

    std::string url(const std::string& target) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }

    static temp_folder* work_;
    static std::string* big_;
    std::unique_ptr<running_program> program_;
    unsigned short port_ = 0;
};

temp_folder* PersistentConnections::work_ = nullptr;
std::string* PersistentConnections::big_ = nullptr;

}  // namespace

TEST_F(PersistentConnections, CurlFetchesItemsRangesAndSearchesOverOneConnection)
{
    temp_folder out;
    // Each --next is a transfer of its own, on the connection the first made.
    const std::vector<std::string> arguments = {
        "-sS", "-v", "-w", "%{num_connects}/%{http_code} ", "-o", out.path() + "listing", url("/ArchiveContent"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code} ", "-r", "1000000-1999999", "-o", out.path() + "middle",
        url("/ArchiveContent/big.bin"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code} ", "-r", "-4096", "-o", out.path() + "tail",
        url("/ArchiveContent/big.bin"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code} ", "-o", out.path() + "search",
        url("/ArchiveContent?search=todo"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code} ", "-o", out.path() + "whole",
        url("/ArchiveContent/big.bin"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code} ", "-I", "-o", out.path() + "head",
        url("/ArchiveContent/notes.txt"),
        "--next", "-sS", "-w", "%{num_connects}/%{http_code}", "-o", out.path() + "notes",
        url("/ArchiveContent/notes.txt"),
    };
    const process_result curl = run_process("/usr/bin/curl", arguments);
    ASSERT_EQ(curl.exit_status, 0) << curl.err;
    EXPECT_EQ(curl.out, "1/200 0/206 0/206 0/200 0/200 0/200 0/200") << "connections made, and statuses";
    EXPECT_NE(curl.err.find("HTTP/1.1 206 Partial Content"), std::string::npos) << curl.err;
    EXPECT_NE(curl.err.find("Transfer-Encoding: chunked"), std::string::npos) << "the search's length is not known";
    EXPECT_NE(read_file(out.path() + "listing").find("big.bin"), std::string::npos);
    EXPECT_TRUE(read_file(out.path() + "middle") == big_->substr(1000000, 1000000));
    EXPECT_TRUE(read_file(out.path() + "tail") == big_->substr(big_size - 4096));
    EXPECT_TRUE(read_file(out.path() + "whole") == *big_);
    EXPECT_NE(read_file(out.path() + "search").find("TODO: second line"), std::string::npos)
        << read_file(out.path() + "search");
    EXPECT_NE(read_file(out.path() + "search").find("\"done\""), std::string::npos) << "the search came whole";
    EXPECT_NE(read_file(out.path() + "head").find("Content-Length: 29\r\n"), std::string::npos);
    EXPECT_EQ(read_file(out.path() + "notes"), "first line\nTODO: second line\n");
}

TEST_F(PersistentConnections, WgetFetchesSeveralUrlsOverOneConnection)
{
    const process_result wget =
        run_process("/usr/bin/wget", {"--no-config", "-O", "-", url("/ArchiveContent/notes.txt"),
                                      url("/ArchiveContent/big.bin"), url("/ArchiveContent/notes.txt")});
    ASSERT_EQ(wget.exit_status, 0) << wget.err;
    const std::string notes = "first line\nTODO: second line\n";
    EXPECT_TRUE(wget.out == notes + *big_ + notes);
    EXPECT_NE(wget.err.find("Reusing existing connection"), std::string::npos) << wget.err;
}

TEST_F(PersistentConnections, Aria2cDownloadsABigItemInPiecesOverSeveralKeptConnections)
{
    for (const bool pipelined : {false, true}) {
        temp_folder out;
        const process_result aria2c = run_process(
            "/usr/bin/aria2c",
            {"-x", "8", "-s", "8", "-k", "1M", "--max-tries=1", "--enable-http-pipelining=" + std::string(pipelined ? "true" : "false"),
             "--file-allocation=none", "--console-log-level=warn", "--summary-interval=0", "--no-conf", "-d", out.path(),
             "-o", "big.bin", url("/ArchiveContent/big.bin")});
        ASSERT_EQ(aria2c.exit_status, 0) << "aria2c (setup.sh --test installs it): " << aria2c.out << aria2c.err;
        EXPECT_TRUE(read_file(out.path() + "big.bin") == *big_) << (pipelined ? "pipelined" : "one at a time");
    }
}
