// Routing without sockets or the plug-in library: the listing, page files,
// archive items from a stand-in item source, and the refusals.
#include "browse/router.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string_view>

#include "tests/support/temp_folder.h"

using namespace http;
using archive::item_status;

namespace {

// Items by index: the status the source reports and the bytes it delivers; an
// index it does not know makes it throw.
class fake_items : public browse::item_source {
public:
    std::map<std::uint32_t, std::pair<item_status, std::string>> items;

    item_status fetch(std::uint32_t index, std::string& body) override
    {
        auto found = items.find(index);
        if (found == items.end())
            throw std::runtime_error("no such item in the stand-in");
        body += found->second.second;
        return found->second.first;
    }
};

// Keeps what the router reports, a line per request as the console has it.
class text_log : public browse::request_log {
public:
    std::string text;
    void request_decoded(std::string_view path) override { text.append(path).append("\n"); }
    void item_failed(item_status status) override { text += std::string("     ") + archive::item_status_text(status); }
};

class RequestHandler : public ::testing::Test {
protected:
    RequestHandler() : router_(tree_, items_, log_, root_.path())
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
        tree_.add_item("docs/readme.txt", 0);
    }

    reply get(const std::string& uri, std::vector<header> headers = {})
    {
        request req;
        req.method = "GET";
        req.uri = uri;
        req.headers = std::move(headers);
        reply rep;
        log_.text.clear();
        router_.handle_request(req, rep);
        console_ = log_.text;
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
    browse::content_tree tree_;
    fake_items items_;
    text_log log_;
    browse::router router_;
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
        {"/index.html%00.png", bad_request, std::string("/index.html\0.png\n", 17)},
        {"/%1b[2J%7f", not_found, "/\x1b[2J\x7f\n"},
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

TEST_F(RequestHandler, ItemsFromTheSourceAndTheirFailures)
{
    tree_.add_item("pics/a.png", 1);
    tree_.add_item("pics/b.png", 2);
    tree_.add_item("pics/c.png", 3);
    tree_.add_item("pics/d.png", 4);  // unknown to the source: it throws
    tree_.add_item("pics", 5);        // a folder that is an item as well
    items_.items = {
        {0, {item_status::ok, "read me"}},
        {1, {item_status::ok, std::string("\x89PNG\0", 5)}},
        {2, {item_status::crc_error, "partial bytes"}},
        {3, {item_status::failed, ""}},
        {5, {item_status::ok, ""}},
    };
    struct row {
        std::string uri;
        status_code status;
        std::string body;  // for ok
        std::string type;  // for ok
        std::string console;
    };
    const row table[] = {
        {"/ArchiveContent/docs/readme.txt", ok, "read me", "text/plain", "/ArchiveContent/docs/readme.txt\n"},
        {"/ArchiveContent/pics/a.png", ok, std::string("\x89PNG\0", 5), "image/png", "/ArchiveContent/pics/a.png\n"},
        {"/ArchiveContent/pics", ok, "", "text/plain", "/ArchiveContent/pics\n"},
        {"/ArchiveContent/pics/b.png", internal_server_error, "", "", "/ArchiveContent/pics/b.png\n     CRC Failed"},
        {"/ArchiveContent/pics/c.png", internal_server_error, "", "", "/ArchiveContent/pics/c.png\n"},
        {"/ArchiveContent/pics/d.png", internal_server_error, "", "", "/ArchiveContent/pics/d.png\n"},
        {"/ArchiveContent/pics/e.png", not_found, "", "", "/ArchiveContent/pics/e.png\n"},
    };
    for (const row& r : table) {
        reply rep = get(r.uri);
        EXPECT_EQ(rep.status, r.status) << r.uri;
        EXPECT_EQ(console_, r.console) << r.uri;
        if (r.status != ok) {
            EXPECT_EQ(rep.content, canned_reply(r.status).content) << r.uri;
            continue;
        }
        EXPECT_EQ(rep.content, r.body) << r.uri;
        EXPECT_EQ(header_value(rep, "Content-Length"), std::to_string(r.body.size())) << r.uri;
        EXPECT_EQ(header_value(rep, "Content-Type"), r.type) << r.uri;
    }
}
