// The whole program, run as a real executable in a folder of its own with its
// own HTML/, talked to over plain sockets, byte for byte.
#include <gtest/gtest.h>

#include <thread>

#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// The head of an item's reply, its ETag left out.
std::string item_head(const std::string& length, const std::string& type, const std::string& encoded_name)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\nContent-Type: " + type +
           "\r\nAccept-Ranges: bytes\r\nCache-Control: no-cache\r\nX-Content-Type-Options: nosniff\r\n"
           "Content-Security-Policy: sandbox allow-same-origin\r\nContent-Disposition: inline; filename*=UTF-8''" +
           encoded_name + "\r\n\r\n";
}

// The reply without its ETag line, which names the file's inode and time.
std::string without_etag(std::string reply)
{
    const std::size_t at = reply.find("\r\nETag: ");
    if (at != std::string::npos && at < reply.find("\r\n\r\n"))
        reply.erase(at, reply.find("\r\n", at + 2) - at);
    return reply;
}

const std::string bad_request_page =
    "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";


// A working folder with HTML/, an archive made with the 7z tool, and a browser
// stand-in that records the address it was given.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_.write_file("HTML/index.html", "<!doctype html><title>viewer</title>");
        work_.write_file("content/docs/readme.txt", "read me\n");
        work_.write_file("content/b.txt", "bee");
        work_.write_file("content/image.png", std::string("\x89PNG\r\n\x1a\n", 8) + "pixels");
        work_.write_file("content/with space+plus.txt", "spaced");
        work_.write_file("content/caf\xc3\xa9.txt", "coffee");
        work_.write_file("content/empty.txt", "");
        work_.make_folder("content/empty folder");
        make_archive("archive.7z", "content");
        work_.write_file("browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/browser-url\"\n");
        chmod((work_.path() + "browser.sh").c_str(), 0755);
    }

    // Archives the whole of `folder` into `name`, both inside the work folder.
    void make_archive(const std::string& name, const std::string& folder, std::vector<std::string> options = {})
    {
        std::vector<std::string> arguments{"a", "-bd"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {work_.path() + name, "."});
        run_7z(arguments, work_.path() + folder);
    }

    std::unique_ptr<running_program> start(const std::string& archive, unsigned max_open_files = 0)
    {
        process_options options;
        options.max_open_files = max_open_files;
        options.working_directory = work_.path();
        options.environment = {"BROWSER=" + work_.path() + "browser.sh"};
        return std::make_unique<running_program>(VORSEL_EXECUTABLE, std::vector<std::string>{archive}, options);
    }

    std::string browser_url()
    {
        for (int i = 0; i < 1000; ++i) {
            std::string url = read_file(work_.path() + "browser-url");
            if (!url.empty())
                return url;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }

    temp_folder work_;
};

}  // namespace

TEST_F(EndToEnd, ServesListingItemsAndPagesAndOpensTheBrowser)
{
    auto program = start("archive.7z");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    EXPECT_EQ(program->output().rfind("Vorsel -- a web archive browser based on 7-Zip\nserver listening @ ", 0), 0u);
    EXPECT_EQ(browser_url(), "http://127.0.0.1:" + std::to_string(port) + "//index.html");

    std::string listing = http_get(port, "/ArchiveContent");
    EXPECT_EQ(reply_status_line(listing), "HTTP/1.0 200 OK");
    EXPECT_EQ(reply_body(listing),
              R"({"name":"ArchiveContent", "SubDirectories":[{"name":"docs", "SubDirectories":[], )"
              R"("files":["readme.txt"]}], "files":["b.txt","café.txt","empty folder","empty.txt",)"
              R"("image.png","with space+plus.txt"]})");

    struct row {
        std::string target;
        std::string head;
        std::string body;
    };
    const row table[] = {
        {"/ArchiveContent/docs/readme.txt", item_head("8", "text/plain", "readme.txt"), "read me\n"},
        {"/ArchiveContent/image.png", item_head("14", "image/png", "image.png"),
         std::string("\x89PNG\r\n\x1a\n", 8) + "pixels"},
        {"/ArchiveContent/with%20space%2Bplus.txt", item_head("6", "text/plain", "with%20space+plus.txt"), "spaced"},
        {"/ArchiveContent/caf%C3%A9.txt", item_head("6", "text/plain", "caf%C3%A9.txt"), "coffee"},
        {"/ArchiveContent/empty.txt", item_head("0", "text/plain", "empty.txt"), ""},
        {"//index.html", "HTTP/1.0 200 OK\r\nContent-Length: 36\r\nContent-Type: text/html\r\nCache-Control: no-cache\r\n\r\n",
         "<!doctype html><title>viewer</title>"},
    };
    for (const row& r : table)
        EXPECT_EQ(without_etag(http_get(port, r.target)), r.head + r.body) << r.target;

    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/nothing")), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/b.txt/x")), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(reply_status_line(http_get(port, "/missing.html")), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(reply_status_line(http_get(port, "/../etc/passwd")), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(reply_status_line(http_exchange(port, "GET /ArchiveContent HTTP/1.0\r\nHost: evil.example\r\n\r\n")),
              "HTTP/1.0 403 Forbidden");
    EXPECT_TRUE(program->wait_for_output("/ArchiveContent/caf\xc3\xa9.txt\n"));
}

TEST_F(EndToEnd, AFolderAddressLeadsToItsItems)
{
    // Listed without folder entries, "docs" is only the way to docs/readme.txt.
    run_7z({"a", "-bd", work_.path() + "flat.zip", "docs/readme.txt", "b.txt"}, work_.path() + "content");
    auto program = start("flat.zip");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    const std::string moved = http_get(port, "/ArchiveContent/docs");
    EXPECT_EQ(reply_status_line(moved), "HTTP/1.0 301 Moved Permanently");
    EXPECT_EQ(reply_header(moved, "Location"), "/ArchiveContent/docs/");
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/docs/")), "HTTP/1.0 200 OK");
    // A client that mirrors by links finds the items.
    const std::string mirror = work_.make_folder("mirror");
    run_in(mirror, "wget -q -r -np -nH http://127.0.0.1:" + std::to_string(port) + "/ArchiveContent/docs/");
    EXPECT_EQ(read_file(mirror + "/ArchiveContent/docs/readme.txt"), "read me\n");
}

TEST_F(EndToEnd, SingleStreamArchiveServesItsItemUnderTheArchivesName)
{
    run_7z({"a", "-bd", "-txz", work_.path() + "readme.txt.xz", "docs/readme.txt"}, work_.path() + "content");
    auto program = start("readme.txt.xz");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")),
              R"({"name":"ArchiveContent", "SubDirectories":[], "files":["readme.txt"]})");
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/readme.txt")), "read me\n");
}

TEST_F(EndToEnd, AnHttp10ConnectionServesOneRequestWhateverArrivesHowever)
{
    auto program = start("archive.7z");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);

    // Two requests back to back: one reply, to the first, then the close.
    std::string both = http_exchange(port, "GET /ArchiveContent/b.txt HTTP/1.0\r\n\r\n"
                                           "GET /ArchiveContent/docs/readme.txt HTTP/1.0\r\n\r\n");
    EXPECT_EQ(without_etag(both), item_head("3", "text/plain", "b.txt") + "bee");

    // HTTP/1.1 is answered in HTTP/1.1; asked to, the server closes after the reply.
    std::string closed = http_exchange(port, "GET /ArchiveContent/b.txt HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(reply_status_line(closed), "HTTP/1.1 200 OK");
    EXPECT_EQ(reply_header(closed, "Connection"), "close");
    EXPECT_EQ(reply_body(closed), "bee");

    // One byte at a time.
    std::vector<std::string> bytes;
    for (char c : std::string("GET /ArchiveContent/b.txt HTTP/1.0\r\nHost: localhost\r\n\r\n"))
        bytes.emplace_back(1, c);
    EXPECT_EQ(reply_body(http_exchange(port, bytes)), "bee");

    // A header longer than one read.
    std::string long_request = "GET /ArchiveContent/b.txt HTTP/1.0\r\nX-Padding: " + std::string(20000, 'p') + "\r\n\r\n";
    EXPECT_EQ(reply_body(http_exchange(port, long_request)), "bee");

    // Malformed: the 400 page.
    EXPECT_EQ(http_exchange(port, "GET / http/1.0\r\n\r\n"),
              "HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n" + bad_request_page);

    // A client that goes away early leaves the server serving.
    int early = connect_loopback(port);
    ASSERT_GE(early, 0);
    ASSERT_GT(send(early, "GET /Arch", 9, MSG_NOSIGNAL), 0);
    close(early);
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/b.txt")), "bee");
}

TEST_F(EndToEnd, ManyConnectionsAtOnceAreAllAnswered)
{
    auto program = start("archive.7z");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    constexpr int count = 200;
    std::vector<int> sockets;
    for (int i = 0; i < count; ++i) {
        int fd = connect_loopback(port);
        ASSERT_GE(fd, 0);
        sockets.push_back(fd);
    }
    const std::string request = "GET /ArchiveContent/docs/readme.txt HTTP/1.0\r\n\r\n";
    for (int fd : sockets)
        ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    int answered = 0;
    for (int fd : sockets) {
        answered += reply_body(read_until_closed(fd)) == "read me\n";
        close(fd);
    }
    EXPECT_EQ(answered, count);
}

TEST_F(EndToEnd, RunningOutOfDescriptorsOnlyPausesAccepting)
{
#ifdef VORSEL_SANITIZED_BUILD
    // The sanitizers' runtime needs descriptors of its own for its checks and
    // reports false errors when there are none left.
    GTEST_SKIP() << "not under the sanitizers";
#endif
    auto program = start("archive.7z", 24);
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    // Far more idle connections than the server has descriptors for.
    std::vector<int> idle;
    for (int i = 0; i < 60; ++i) {
        int fd = connect_loopback(port);
        if (fd >= 0)
            idle.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int fd : idle)
        close(fd);
    // Once descriptors are free again, the server accepts again.
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/b.txt")), "bee");
}

TEST_F(EndToEnd, DamagedItemIsAnErrorNotASuccess)
{
    // Stored without compression, so that flipped bytes reach the CRC check.
    work_.write_file("damaged/plain.txt", std::string(4000, 'x'));
    make_archive("damaged.7z", "damaged", {"-mx0"});
    std::string archive = read_file(work_.path() + "damaged.7z");
    std::size_t at = archive.find(std::string(100, 'x'));
    ASSERT_NE(at, std::string::npos);
    archive[at + 50] = 'y';
    work_.write_file("damaged.7z", archive);

    auto program = start("damaged.7z");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/plain.txt")), "HTTP/1.0 500 Internal Server Error");
    EXPECT_TRUE(program->wait_for_output("/ArchiveContent/plain.txt\n     plain.txt: its data does not match its checksum: the archive is damaged (CRC Failed)\n"));
    // The server goes on.
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent")), "HTTP/1.0 200 OK");
}

TEST_F(EndToEnd, MissingArchiveServesTheBareRoot)
{
    auto program = start("no-such-archive.7z");
    unsigned short port = program->wait_for_port();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(program->wait_for_output("\nCan not open input file\n"));
    std::string listing = reply_body(http_get(port, "/ArchiveContent"));
    EXPECT_EQ(listing, R"({"name":"ArchiveContent", "SubDirectories":[], "files":[]})");
    EXPECT_EQ(listing.size(), 58u);
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/x")), "HTTP/1.0 404 Not Found");
    EXPECT_FALSE(browser_url().empty());
}

TEST_F(EndToEnd, UnrecognisedArchiveWaitsForAKeyAndExitsThree)
{
    // Punctuation keeps even the lenient text formats (Base64) from taking it.
    work_.write_file("notes.txt", "Plain text, not an archive: {\"x\": 1}!\n");
    auto program = start("notes.txt");
    ASSERT_TRUE(program->wait_for_output("\nCan not get input class object\n"));
    program->write_input("\n");
    EXPECT_EQ(program->wait_for_exit(), 3);
    EXPECT_EQ(read_file(work_.path() + "browser-url"), "");
}
