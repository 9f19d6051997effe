// Routing of the request handler without sockets: the listing, page files and
// the refusals. Archive items are served end to end in the program's tests.
#include "browse/request_handler.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

using namespace http::server;

namespace {

class RequestHandler : public ::testing::Test {
protected:
    RequestHandler() : handler_(root_.path())
    {
        root_.write_file("index.html", "<p>start</p>");
        root_.write_file("empty.png", "");
        root_.write_file("exact.gif", std::string(512, 'g'));
        root_.write_file("sub/index.html", "sub start");
        root_.write_file("a b.html", "spaced");
        root_.write_file("x.tar.gz", "gz");
        root_.write_file(".hidden", "h");
        root_.write_file("dir.d/file", "f");
        root_.write_file("index.html?v=1", "query");
        root_.make_folder("folder");
        handler_.tree().add_item("docs/readme.txt", 0);
    }

    reply get(const std::string& uri, std::vector<header> headers = {})
    {
        request req;
        req.method = "GET";
        req.uri = uri;
        req.headers = std::move(headers);
        reply rep;
        testing::internal::CaptureStdout();
        handler_.handle_request(req, rep);
        console_ = testing::internal::GetCapturedStdout();
        return rep;
    }

    static std::string header_value(const reply& rep, const std::string& name)
    {
        for (const header& h : rep.headers)
            if (h.name == name)
                return h.value;
        return "(none)";
    }

    test_support::temp_folder root_;
    request_handler handler_;
    std::string console_;
};

}  // namespace

TEST_F(RequestHandler, PageFilesWithTheirMediaTypes)
{
    struct row {
        std::string uri;
        std::string body;
        std::string type;
    };
    const row table[] = {
        {"/index.html", "<p>start</p>", "text/html"},
        {"//index.html", "<p>start</p>", "text/html"},
        {"/", "<p>start</p>", "text/html"},
        {"//", "<p>start</p>", "text/html"},
        {"/.", "<p>start</p>", "text/html"},
        {"/./", "<p>start</p>", "text/html"},
        {"/sub/", "sub start", "text/html"},
        {"/a+b.html", "spaced", "text/html"},
        {"/a%20b.html", "spaced", "text/html"},
        {"/x.tar.gz", "gz", "text/plain"},
        {"/.hidden", "h", "text/plain"},
        {"/dir.d/file", "f", "text/plain"},
        {"/index.html?v=1", "query", "text/plain"},
        {"/empty.png", "", "image/png"},
        {"/exact.gif", std::string(512, 'g'), "image/gif"},
    };
    for (const row& r : table) {
        reply rep = get(r.uri);
        EXPECT_EQ(rep.status, ok) << r.uri;
        EXPECT_EQ(rep.content, r.body) << r.uri;
        ASSERT_EQ(rep.headers.size(), 2u) << r.uri;
        EXPECT_EQ(rep.headers[0].name, "Content-Length");
        EXPECT_EQ(rep.headers[0].value, std::to_string(r.body.size())) << r.uri;
        EXPECT_EQ(rep.headers[1].name, "Content-Type");
        EXPECT_EQ(rep.headers[1].value, r.type) << r.uri;
    }
}

TEST_F(RequestHandler, ListingAtArchiveContent)
{
    const std::string listing = R"({"name":"ArchiveContent", "SubDirectories":[{"name":"docs", "SubDirectories":[], )"
                                R"("files":["readme.txt"]}], "files":[]})";
    for (std::string uri : {"/ArchiveContent", "/ArchiveContent/", "//ArchiveContent/./", "/Archive%43ontent"}) {
        reply rep = get(uri);
        EXPECT_EQ(rep.status, ok) << uri;
        EXPECT_EQ(rep.content, listing) << uri;
        EXPECT_EQ(header_value(rep, "Content-Length"), std::to_string(listing.size()));
        EXPECT_EQ(header_value(rep, "Content-Type"), "text/plain");
    }
    EXPECT_EQ(console_, "/ArchiveContent\n");
}

TEST_F(RequestHandler, RefusalsAndMisses)
{
    struct row {
        std::string uri;
        status_code status;
        std::string console;
    };
    const row table[] = {
        {"/a%4", bad_request, ""},
        {"/%zz", bad_request, ""},
        {"", bad_request, "\n"},
        {"index.html", bad_request, "index.html\n"},
        {"*", bad_request, "*\n"},
        {"/../x", bad_request, "/../x\n"},
        {"/a..b.txt", bad_request, "/a..b.txt\n"},
        {"/ArchiveContent/docs/..", bad_request, "/ArchiveContent/docs/..\n"},
        {"/%2e%2e/x", bad_request, "/../x\n"},
        {"/index.html%00.png", bad_request, "/index.html\\x00.png\n"},
        {"/%1b[2J%7f", not_found, "/\\x1B[2J\\x7F\n"},
        {"/missing.html", not_found, "/missing.html\n"},
        {"/folder", not_found, "/folder\n"},
        {"/index.json", not_found, "/index.json\n"},
        {"/archivecontent/docs", not_found, "/archivecontent/docs\n"},
        {"/ArchiveContent/docs", not_found, "/ArchiveContent/docs\n"},  // made only on the way to docs/readme.txt
        {"/ArchiveContent/DOCS/readme.txt", not_found, "/ArchiveContent/DOCS/readme.txt\n"},
        {"/ArchiveContent/docs/readme.txt/x", not_found, "/ArchiveContent/docs/readme.txt/x\n"},
    };
    for (const row& r : table) {
        reply rep = get(r.uri);
        reply expected = canned_reply(r.status);
        EXPECT_EQ(rep.status, r.status) << r.uri;
        EXPECT_EQ(rep.content, expected.content) << r.uri;
        EXPECT_EQ(header_value(rep, "Content-Type"), "text/html") << r.uri;
        EXPECT_EQ(console_, r.console) << r.uri;
    }
}

TEST_F(RequestHandler, ForeignHostsAndCrossSiteRequestsAreForbidden)
{
    EXPECT_EQ(get("/index.html", {{"Host", "127.0.0.1:1234"}}).status, ok);
    EXPECT_EQ(get("/index.html", {{"Host", "localhost.evil.example"}}).status, forbidden);
    EXPECT_EQ(get("/ArchiveContent", {{"Sec-Fetch-Site", "cross-site"}}).status, forbidden);
    EXPECT_EQ(console_, "");
}
