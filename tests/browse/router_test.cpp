// Routing without sockets or the plug-in library: the listing, page files,
// archive items from a stand-in item source, and the refusals.
#include "browse/router.h"
#include "http/reply_stream.h"

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "tests/support/gunzip.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"

using namespace http;
using archive::item_status;

namespace {

// Items by index: the status the source reports and the bytes it delivers,
// written at once in pieces of at most 7 bytes; an index it does not know makes
// it throw.
class fake_items : public browse::item_source {
public:
    std::map<std::uint32_t, std::pair<item_status, std::string>> items;
    std::size_t bytes_written = 0;
    std::vector<browse::item_password> passwords;  // of each fetch

    void fetch(std::uint32_t index, std::shared_ptr<browse::item_receiver> receiver,
               const browse::item_password& password) override
    {
        passwords.push_back(password);
        auto found = items.find(index);
        if (found == items.end())
            throw std::runtime_error("no such item in the stand-in");
        const std::string& bytes = found->second.second;
        receiver->begin(bytes.size());
        std::size_t at = 0;
        while (at < bytes.size() && receiver->wanted()) {
            const std::size_t piece = std::min<std::size_t>(7, bytes.size() - at);
            bytes_written += piece;
            if (!receiver->write(bytes.data() + at, piece))
                break;
            at += piece;
        }
        receiver->finish(found->second.first);
    }
};

// A reply as the client receives it: a streamed one is read event by event.
struct received {
    reply head;
    std::string body;
    bool cut = false;  // the connection would close before the body is complete
};

received receive(reply rep)
{
    received out;
    if (!rep.stream) {
        out.body = rep.shared_content ? *rep.shared_content : rep.content;
        out.head = std::move(rep);
        return out;
    }
    for (bool head = true;; head = false) {
        std::optional<stream_event> event;
        rep.stream->next([&event](stream_event e) { event = std::move(e); });
        if (!event) {  // a stand-in source has finished: nothing may be left waiting
            ADD_FAILURE() << "the stream waits for nothing";
            return out;
        }
        if (head) {
            EXPECT_EQ(event->what, stream_event::kind::head);
            out.head = std::move(event->head);
            out.body = out.head.content;
            if (event->complete)
                return out;
            continue;
        }
        if (event->what == stream_event::kind::data)
            out.body += event->data;
        else {
            out.cut = event->what == stream_event::kind::failed;
            return out;
        }
    }
}

// Keeps what the router reports, a line per request as the console has it.
class text_log : public browse::request_log {
public:
    std::string text;
    void request_decoded(std::string_view path) override { text.append(path).append("\n"); }
    void item_failed(std::string_view item, item_status status) override
    {
        text.append("     ").append(item).append(": ").append(archive::item_status_text(status));
    }
    void inner_archive_failed(std::string_view item, std::string_view cause) override
    {
        text.append("     ").append(item).append(": ").append(cause);
    }
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
        root_.write_file("a+b.html", "plus");
        root_.write_file("x.tar.gz", "gz");
        root_.write_file(".hidden", "h");
        root_.write_file("dir.d/file", "f");
        root_.write_file("a..b.html", "dots");
        root_.write_file("index.html?v=1", "query");
        root_.make_folder("folder");
        tree_.add_item("docs/readme.txt", 0);
    }

    reply get(const std::string& uri, std::vector<header> headers = {}, const std::string& method = "GET")
    {
        request req;
        req.method = method;
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
        {"/a+b.html", "plus", "text/html"},  // a plus in a path is a plus, not a space
        {"/a%20b.html", "spaced", "text/html"},
        {"/x.tar.gz", "gz", "application/octet-stream"},
        {"/.hidden", "h", "text/plain"},
        {"/dir.d/file", "f", "text/plain"},
        {"/a..b.html", "dots", "text/html"},
        {"/index.html?v=1", "<p>start</p>", "text/html"},  // a query string is not part of the path
        {"/index.html%3Fv=1", "query", "text/plain"},
        {"/?", "<p>start</p>", "text/html"},
        {"/empty.png", "", "image/png"},
        {"/exact.gif", std::string(512, 'g'), "image/gif"},
    };
    for (const row& r : table) {
        reply rep = get(r.uri);
        EXPECT_EQ(rep.status, ok) << r.uri;
        EXPECT_EQ(http::wire_body(rep), r.body) << r.uri;
        ASSERT_EQ(rep.headers.size(), 4u) << r.uri;
        EXPECT_EQ(rep.headers[0].name, "Content-Length");
        EXPECT_EQ(rep.headers[0].value, std::to_string(r.body.size())) << r.uri;
        EXPECT_EQ(rep.headers[1].name, "Content-Type");
        EXPECT_EQ(rep.headers[1].value, r.type) << r.uri;
    }
}

TEST_F(RequestHandler, PageFilesAreKeptInMemoryUntilTheyChangeOnDisk)
{
    const reply first = get("/index.html");
    const reply second = get("/index.html");
    ASSERT_TRUE(first.shared_content && second.shared_content);
    EXPECT_EQ(first.shared_content, second.shared_content) << "read once, then served from memory";

    root_.write_file("index.html", "<p>edited start</p>");
    const reply edited = get("/index.html");
    EXPECT_EQ(http::wire_body(edited), "<p>edited start</p>");
    EXPECT_EQ(header_value(edited, "Content-Length"), "19");
    EXPECT_NE(header_value(edited, "ETag"), header_value(first, "ETag"));
    EXPECT_EQ(*first.shared_content, "<p>start</p>") << "a reply still being written keeps its bytes";

    std::filesystem::remove(root_.path() + "index.html");
    EXPECT_EQ(get("/index.html").status, not_found);
    root_.write_file("index.html", "back");
    EXPECT_EQ(http::wire_body(get("/index.html")), "back");
}

TEST_F(RequestHandler, ListingAtArchiveContent)
{
    const std::string listing = R"({"name":"ArchiveContent", "SubDirectories":[{"name":"docs", "SubDirectories":[], )"
                                R"("files":["readme.txt"]}], "files":[]})";
    for (std::string uri : {"/ArchiveContent", "/ArchiveContent/", "//ArchiveContent/./", "/Archive%43ontent"}) {
        reply rep = get(uri);
        EXPECT_EQ(rep.status, ok) << uri;
        EXPECT_EQ(*rep.shared_content, listing) << uri;
        EXPECT_EQ(header_value(rep, "Content-Length"), std::to_string(listing.size()));
        EXPECT_EQ(header_value(rep, "Content-Type"), "application/json");
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
        {"/a/../b", bad_request, "/a/../b\n"},
        {"/..", bad_request, "/..\n"},
        {"/sub\\..\\x", bad_request, "/sub\\..\\x\n"},
        {"/ArchiveContent/../index.html", bad_request, "/ArchiveContent/../index.html\n"},
        {"/a..b.txt", not_found, "/a..b.txt\n"},  // two dots inside a name are only a name
        {"/...", not_found, "/...\n"},
        {"/ArchiveContent/docs/..", bad_request, "/ArchiveContent/docs/..\n"},
        {"/%2e%2e/x", bad_request, "/../x\n"},
        {"/index.html%00.png", bad_request, std::string("/index.html\0.png\n", 17)},
        {"/%1b[2J%7f", not_found, "/\x1b[2J\x7f\n"},
        {"/missing.html", not_found, "/missing.html\n"},
        {"/folder", not_found, "/folder\n"},
        {"/index.json", not_found, "/index.json\n"},
        {"/archivecontent/docs", not_found, "/archivecontent/docs\n"},
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

TEST_F(RequestHandler, AFolderAddressAnswersAPageOfLinks)
{
    tree_.add_item("docs/caf\xc3\xa9 <1>.txt", 1);
    tree_.add_item("docs/deeper/x.txt", 2);
    tree_.add_item("docs/empty", 3, true);  // the archive's entry of a folder with nothing in it
    reply rep = get("/ArchiveContent/docs");
    EXPECT_EQ(rep.status, moved_permanently);
    EXPECT_EQ(header_value(rep, "Location"), "/ArchiveContent/docs/");
    // An empty folder's entry, which the listing has among the files, is that empty item without the slash.
    items_.items = {{3, {item_status::ok, ""}}};
    rep = get("/ArchiveContent/docs/empty");
    EXPECT_EQ(rep.status, ok);
    EXPECT_EQ(receive(rep).body, "");

    rep = get("/ArchiveContent/docs/");
    EXPECT_EQ(rep.status, ok);
    EXPECT_EQ(header_value(rep, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(header_value(rep, "Content-Length"), std::to_string(rep.content.size()));
    for (const char* link : {"<a href=\"/#/docs\">Open in the viewer</a>", "<a href=\"../\">",
                             "<a href=\"readme.txt\">readme.txt</a>",
                             "<a href=\"caf%C3%A9%20%3C1%3E.txt\">caf\xc3\xa9 &lt;1&gt;.txt</a>",
                             "<a href=\"deeper/\">deeper/</a>", "<a href=\"empty/\">empty/</a>"})
        EXPECT_NE(rep.content.find(link), std::string::npos) << link << " in " << rep.content;
    EXPECT_EQ(get("/ArchiveContent/docs/empty/").status, ok);
    // A file is never answered as a folder, with or without a slash.
    items_.items = {{0, {item_status::ok, "read me"}}};
    EXPECT_EQ(receive(get("/ArchiveContent/docs/readme.txt")).body, "read me");
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
        {1, {item_status::ok, std::string("\x89PNG\0 and more than one piece", 30)}},
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
        {"/ArchiveContent/pics/a.png", ok, std::string("\x89PNG\0 and more than one piece", 30), "image/png",
         "/ArchiveContent/pics/a.png\n"},
        {"/ArchiveContent/pics", ok, "", "text/plain", "/ArchiveContent/pics\n"},
        {"/ArchiveContent/pics/b.png", internal_server_error, "", "", "/ArchiveContent/pics/b.png\n     pics/b.png: CRC Failed"},
        {"/ArchiveContent/pics/c.png", internal_server_error, "", "", "/ArchiveContent/pics/c.png\n     pics/c.png: "},
        {"/ArchiveContent/pics/d.png", internal_server_error, "", "", "/ArchiveContent/pics/d.png\n     pics/d.png: "},
        {"/ArchiveContent/pics/e.png", not_found, "", "", "/ArchiveContent/pics/e.png\n"},
    };
    for (const row& r : table) {
        const received rep = receive(get(r.uri));
        EXPECT_EQ(rep.head.status, r.status) << r.uri;
        EXPECT_EQ(console_, r.console) << r.uri;
        EXPECT_FALSE(rep.cut) << r.uri;
        if (r.status == internal_server_error) {
            // A sentence that names the item and the cause.
            const std::string named = "The item " + r.uri.substr(std::strlen("/ArchiveContent/")) + " could not be extracted: ";
            EXPECT_EQ(rep.body.substr(0, named.size()), named) << r.uri;
            continue;
        }
        if (r.status != ok) {
            EXPECT_EQ(rep.body, canned_reply(r.status).content) << r.uri;
            continue;
        }
        EXPECT_EQ(rep.body, r.body) << r.uri;
        EXPECT_EQ(header_value(rep.head, "Content-Length"), std::to_string(r.body.size())) << r.uri;
        EXPECT_EQ(header_value(rep.head, "Content-Type"), r.type) << r.uri;
        EXPECT_EQ(header_value(rep.head, "Accept-Ranges"), "bytes") << r.uri;
    }
}

TEST_F(RequestHandler, ByteRangesOfAnItem)
{
    const std::string bytes = "0123456789abcdefghijklmnopqrstuvwxyz";  // 36 bytes
    items_.items = {{0, {item_status::ok, bytes}}};
    struct row {
        std::string range;  // the Range header's value; empty: none
        status_code status;
        std::string body;
        std::string content_range;
    };
    const row table[] = {
        {"", ok, bytes, "(none)"},
        {"bytes=0-0", partial_content, "0", "bytes 0-0/36"},
        {"bytes=35-35", partial_content, "z", "bytes 35-35/36"},
        {"bytes=10-19", partial_content, "abcdefghij", "bytes 10-19/36"},
        {"bytes=30-", partial_content, "uvwxyz", "bytes 30-35/36"},
        {"bytes=-4", partial_content, "wxyz", "bytes 32-35/36"},
        {"bytes=-100", partial_content, bytes, "bytes 0-35/36"},
        {"bytes=30-1000", partial_content, "uvwxyz", "bytes 30-35/36"},
        {"Bytes=2-3", partial_content, "23", "bytes 2-3/36"},
        {"bytes=36-", range_not_satisfiable, "", "bytes */36"},
        {"bytes=-0", range_not_satisfiable, "", "bytes */36"},
        {"bytes=0-1,4-5", ok, bytes, "(none)"},  // several ranges: the whole item
        {"bytes=5-2", ok, bytes, "(none)"},
        {"bytes=x-", ok, bytes, "(none)"},
        {"bytes=-", ok, bytes, "(none)"},
        {"items=0-1", ok, bytes, "(none)"},
        {"bytes=+1-2", ok, bytes, "(none)"},
        {"bytes=99999999999999999999-", ok, bytes, "(none)"},
    };
    for (const row& r : table) {
        std::vector<header> headers;
        if (!r.range.empty())
            headers.push_back({"Range", r.range});
        const received rep = receive(get("/ArchiveContent/docs/readme.txt", headers));
        EXPECT_EQ(rep.head.status, r.status) << r.range;
        EXPECT_EQ(header_value(rep.head, "Content-Range"), r.content_range) << r.range;
        if (r.status == range_not_satisfiable)
            continue;
        EXPECT_EQ(rep.body, r.body) << r.range;
        EXPECT_EQ(header_value(rep.head, "Content-Length"), std::to_string(r.body.size())) << r.range;
    }
    // Two Range headers count as several ranges; the listing ignores ranges.
    EXPECT_EQ(receive(get("/ArchiveContent/docs/readme.txt", {{"Range", "bytes=0-0"}, {"Range", "bytes=1-1"}}))
                  .head.status,
              ok);
    EXPECT_EQ(receive(get("/ArchiveContent", {{"Range", "bytes=0-0"}})).head.status, ok);
}

TEST_F(RequestHandler, ListingIsServedFromOneCopyAndCompressedForThoseWhoAcceptGzip)
{
    router_.publish({browse::build_names_listing(tree_), "tag"});
    const reply plain = get("/ArchiveContent");
    const reply again = get("/ArchiveContent", {{"Accept-Encoding", "gzip;q=0"}});
    EXPECT_EQ(plain.shared_content, again.shared_content) << "the same bytes, not a copy";
    EXPECT_EQ(header_value(again, "Content-Encoding"), "(none)");
    for (const char* accepted : {"gzip", "deflate, GZIP;q=0.5", " br , gzip"}) {
        const reply compressed = get("/ArchiveContent", {{"Accept-Encoding", accepted}});
        EXPECT_EQ(header_value(compressed, "Content-Encoding"), "gzip") << accepted;
        EXPECT_EQ(header_value(compressed, "Content-Length"), std::to_string(compressed.shared_content->size()));
        EXPECT_EQ(test_support::gunzip(*compressed.shared_content), *plain.shared_content) << accepted;
    }
}

TEST_F(RequestHandler, HeadSendsTheHeadAloneAndOtherMethodsAreNotImplemented)
{
    items_.items = {{0, {item_status::ok, "read me"}}};
    for (const char* uri : {"/index.html", "/ArchiveContent", "/ArchiveContent/docs/readme.txt", "/missing"}) {
        const received full = receive(get(uri));
        const received head = receive(get(uri, {}, "HEAD"));
        EXPECT_EQ(head.head.status, full.head.status) << uri;
        EXPECT_EQ(head.body, "") << uri;
        EXPECT_EQ(header_value(head.head, "Content-Length"), std::to_string(full.body.size())) << uri;
        EXPECT_EQ(header_value(head.head, "Content-Type"), header_value(full.head, "Content-Type")) << uri;
    }
    items_.bytes_written = 0;
    receive(get("/ArchiveContent/docs/readme.txt", {}, "HEAD"));
    EXPECT_EQ(items_.bytes_written, 0u) << "the size is known: nothing is extracted";

    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "get", "CONNECT"}) {
        const reply rep = get("/index.html", {}, method);
        EXPECT_EQ(rep.status, not_implemented) << method;
        EXPECT_EQ(rep.content, canned_reply(not_implemented).content) << method;
    }
}

TEST_F(RequestHandler, EveryReplyOfContentIsRevalidatedByItsTag)
{
    items_.items = {{0, {item_status::ok, "read me"}}};
    const std::vector<archive::item_details> no_details;
    router_.publish({browse::build_names_listing(tree_), "archive-1"});
    router_.publish_details(browse::build_details_listing(tree_, {no_details, "a.7z", 0}));
    for (const char* uri : {"/index.html", "/ArchiveContent", "/ArchiveContent?details", "/ArchiveContent/docs/readme.txt"}) {
        const received first = receive(get(uri));
        const std::string etag = header_value(first.head, "ETag");
        ASSERT_NE(etag, "(none)") << uri;
        EXPECT_EQ(header_value(first.head, "Cache-Control"), "no-cache") << uri;
        items_.bytes_written = 0;
        for (const std::string& matching : {etag, "\"other\", " + etag, "W/" + etag, std::string("*")}) {
            const received again = receive(get(uri, {{"If-None-Match", matching}}));
            EXPECT_EQ(again.head.status, not_modified) << uri << " " << matching;
            EXPECT_EQ(again.body, "") << uri;
            EXPECT_EQ(header_value(again.head, "ETag"), etag) << uri;
        }
        EXPECT_EQ(items_.bytes_written, 0u) << uri << ": nothing is extracted for a 304";
        EXPECT_EQ(receive(get(uri, {{"If-None-Match", "\"other\""}})).head.status, ok) << uri;
    }
    // Another archive file, or the same one changed, gives other item tags.
    const std::string before = header_value(receive(get("/ArchiveContent/docs/readme.txt")).head, "ETag");
    router_.publish({browse::build_names_listing(tree_), "archive-2"});
    EXPECT_NE(header_value(receive(get("/ArchiveContent/docs/readme.txt")).head, "ETag"), before);
    EXPECT_EQ(receive(get("/ArchiveContent/docs/readme.txt", {{"If-None-Match", before}})).head.status, ok);
}

TEST_F(RequestHandler, ItemsNeverRunAsTheViewer)
{
    tree_.add_item("web/page one.html", 1);
    tree_.add_item("web/caf\xc3\xa9 \"100%\".svg", 2);
    tree_.add_item("bin/c++.exe", 3);
    tree_.add_item("bin/tool", 4);
    tree_.add_item("bin/inner.7z", 5);
    items_.items = {{1, {item_status::ok, "<script>fetch('/ArchiveContent')</script>"}},
                    {2, {item_status::ok, "<svg/>"}},
                    {3, {item_status::ok, "MZ"}},
                    {4, {item_status::ok, "#!/bin/sh"}},
                    {5, {item_status::ok, "7z"}}};
    const struct {
        std::string uri;
        std::string type;
        std::string disposition;
    } table[] = {
        {"/ArchiveContent/web/page%20one.html", "text/html", "inline; filename*=UTF-8''page%20one.html"},
        {"/ArchiveContent/web/caf%C3%A9%20%22100%25%22.svg", "image/svg+xml",
         "inline; filename*=UTF-8''caf%C3%A9%20%22100%25%22.svg"},
        // Programs and archives are bytes; a plus in the path names the item with a plus.
        {"/ArchiveContent/bin/c++.exe", "application/octet-stream", "inline; filename*=UTF-8''c++.exe"},
        {"/ArchiveContent/bin/inner.7z", "application/octet-stream", "inline; filename*=UTF-8''inner.7z"},
        {"/ArchiveContent/bin/tool", "text/plain", "inline; filename*=UTF-8''tool"},
    };
    for (const auto& row : table) {
        for (const std::vector<header>& headers : {std::vector<header>{}, std::vector<header>{{"Range", "bytes=0-1"}}}) {
            const received rep = receive(get(row.uri, headers));
            EXPECT_EQ(header_value(rep.head, "Content-Type"), row.type) << row.uri;
            EXPECT_EQ(header_value(rep.head, "X-Content-Type-Options"), "nosniff") << row.uri;
            EXPECT_EQ(header_value(rep.head, "Content-Security-Policy"), "sandbox allow-same-origin") << row.uri;
            EXPECT_EQ(header_value(rep.head, "Content-Disposition"), row.disposition) << row.uri;
        }
    }
}

TEST_F(RequestHandler, DetailsListingCarriesWhatTheArchiveRecords)
{
    tree_.add_item("docs", 1);
    tree_.add_item("empty dir", 2);
    std::vector<archive::item_details> details(3);
    details[0].has_size = details[0].has_packed_size = details[0].has_modified = details[0].has_crc = true;
    details[0].size = 7;
    details[0].packed_size = 5;
    details[0].modified = 132517728000000000ull;  // 2020-12-07 00:00:00 UTC
    details[0].crc = 0xA1B2C3;
    details[0].encrypted = true;
    details[1].is_folder = details[1].has_modified = true;
    details[1].modified = 132517728000000000ull + 36610000000ull;  // one hour, one minute, one second later
    details[2].is_folder = true;
    router_.publish({browse::build_names_listing(tree_), "tag"});

    // Asked for before it is built, the details listing comes once it is.
    reply early = get("/ArchiveContent?details", {}, "GET");
    ASSERT_TRUE(early.stream);
    std::optional<stream_event> event;
    early.stream->next([&event](stream_event e) { event = std::move(e); });
    EXPECT_FALSE(event);
    router_.publish_details(browse::build_details_listing(tree_, {details, "caf\xc3\xa9 \"a\".7z", 12345}));
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->complete);
    EXPECT_EQ(*event->head.shared_content, *get("/ArchiveContent?details").shared_content);

    const std::string names = *get("/ArchiveContent").shared_content;
    EXPECT_EQ(names, R"({"name":"ArchiveContent", "SubDirectories":[{"name":"docs", "SubDirectories":[], )"
                     R"("files":["readme.txt"]}], "files":["empty dir"]})")
        << "the plain listing keeps its bytes";
    const std::string text = *get("/ArchiveContent?details").shared_content;
    const std::optional<test_support::json_value> listing = test_support::parse_strict_json(text);
    ASSERT_TRUE(listing) << text;
    EXPECT_EQ(listing->at("archive").at("name").text, "caf\xc3\xa9 \"a\".7z");
    EXPECT_EQ(listing->at("archive").at("size").number, 12345);
    const test_support::json_value& docs = listing->at("SubDirectories").items.at(0);
    EXPECT_EQ(docs.at("modified").text, "2020-12-07T01:01:01Z");
    const test_support::json_value& readme = docs.at("files").items.at(0);
    EXPECT_EQ(readme.at("name").text, "readme.txt");
    EXPECT_EQ(readme.at("size").number, 7);
    EXPECT_EQ(readme.at("packedSize").number, 5);
    EXPECT_EQ(readme.at("modified").text, "2020-12-07T00:00:00Z");
    EXPECT_EQ(readme.at("crc").text, "00A1B2C3");
    EXPECT_TRUE(readme.at("encrypted").boolean);
    const test_support::json_value& empty = listing->at("files").items.at(0);
    EXPECT_EQ(empty.at("name").text, "empty dir");
    EXPECT_TRUE(empty.at("folder").boolean);
    EXPECT_EQ(std::count(empty.keys.begin(), empty.keys.end(), "size"), 0) << "no size where none is recorded";
}

// The password header reaches the item source decoded, and only there: a
// malformed or repeated one is refused; an item that wants a password answers
// 401 with a text that says which, and without a challenge for the browser.
TEST_F(RequestHandler, PasswordHeaderAndTheRepliesOfEncryptedItems)
{
    tree_.add_item("locked.txt", 1);
    tree_.add_item("wrong.txt", 2);
    items_.items = {
        {0, {item_status::ok, "read me"}},
        {1, {item_status::password_needed, ""}},
        {2, {item_status::wrong_password, ""}},
    };
    const header password{"X-Archive-Password", "S%C3%A9same%20%2B%25"};
    const struct {
        std::string uri;
        std::vector<header> headers;
        status_code status;
        std::string body;  // a part of it
        std::optional<browse::item_password> fetched;  // what the source got; none: not asked
    } table[] = {
        {"/ArchiveContent/docs/readme.txt", {}, ok, "read me", browse::item_password()},
        {"/ArchiveContent/docs/readme.txt", {password}, ok, "read me", std::string("S\xC3\xA9same +%")},
        {"/ArchiveContent/docs/readme.txt", {{"x-archive-password", ""}}, ok, "read me", std::string()},
        {"/ArchiveContent/docs/readme.txt", {{"X-Archive-Password", "%zz"}}, bad_request, "", std::nullopt},
        {"/ArchiveContent/docs/readme.txt", {password, password}, bad_request, "", std::nullopt},
        {"/ArchiveContent/locked.txt", {}, unauthorized, "needs a password", browse::item_password()},
        {"/ArchiveContent/wrong.txt", {password}, unauthorized, "password is wrong", std::string("S\xC3\xA9same +%")},
    };
    for (const auto& row : table) {
        items_.passwords.clear();
        const received rep = receive(get(row.uri, row.headers));
        EXPECT_EQ(rep.head.status, row.status) << row.uri;
        EXPECT_NE(rep.body.find(row.body), std::string::npos) << rep.body;
        EXPECT_EQ(header_value(rep.head, "WWW-Authenticate"), "(none)");
        if (row.fetched) {
            ASSERT_EQ(items_.passwords.size(), 1u) << row.uri;
            EXPECT_EQ(items_.passwords[0], *row.fetched) << row.uri;
        } else {
            EXPECT_TRUE(items_.passwords.empty()) << row.uri;
        }
        EXPECT_EQ(console_.find("S\xC3\xA9same"), std::string::npos) << console_;
    }
}

namespace {

// Reads a stream as a connection does, one event at a time, asking for the
// next once the last has come; take() hands over what has come so far.
class stream_reader {
public:
    explicit stream_reader(std::shared_ptr<reply_stream> stream) : stream_(std::move(stream)) {}

    std::vector<stream_event> take()
    {
        while (!asked_ && !ended_) {
            asked_ = true;
            stream_->next([this](stream_event event) {
                asked_ = false;
                ended_ = event.what == stream_event::kind::end || event.what == stream_event::kind::failed ||
                         (event.what == stream_event::kind::head && event.complete);
                arrived_.push_back(std::move(event));
            });
        }
        return std::exchange(arrived_, {});
    }

    // The body pieces that have come so far, joined.
    std::string take_body()
    {
        std::string body;
        for (const stream_event& event : take())
            if (event.what == stream_event::kind::data)
                body += event.data;
        return body;
    }

private:
    std::shared_ptr<reply_stream> stream_;
    std::vector<stream_event> arrived_;
    bool asked_ = false;
    bool ended_ = false;
};

}  // namespace

// While another thread lists the archive, the page files are served, the
// figures of the read follow as they come, and every other request waits
// until the archive is published, then gets what it would have got.
TEST_F(RequestHandler, WhileTheArchiveIsListedPagesAndProgressAreServedAndTheRestWaits)
{
    router_.hold_until_published();
    EXPECT_EQ(http::wire_body(get("/index.html")), "<p>start</p>");

    reply listing = get("/ArchiveContent");
    reply item = get("/ArchiveContent/docs/readme.txt");
    reply item_head = get("/ArchiveContent/docs/readme.txt", {}, "HEAD");
    reply progress_reply = get("/ArchiveContent?progress");
    ASSERT_TRUE(listing.stream && item.stream && item_head.stream && progress_reply.stream);
    stream_reader listing_reader(listing.stream), item_reader(item.stream), head_reader(item_head.stream),
        progress(progress_reply.stream);
    EXPECT_TRUE(listing_reader.take().empty()) << "the listing waits";
    EXPECT_TRUE(item_reader.take().empty()) << "an item waits";
    EXPECT_TRUE(head_reader.take().empty());
    EXPECT_TRUE(items_.passwords.empty()) << "nothing is decoded before the archive is published";

    const std::vector<stream_event> head = progress.take();
    ASSERT_EQ(head.size(), 1u) << "the head, and no figures before the read reports";
    EXPECT_EQ(head[0].head.status, ok);
    EXPECT_EQ(header_value(head[0].head, "Content-Type"), "application/x-ndjson");

    router_.progress().update("tree \"1\".tar", 10, 100);
    router_.progress().update("tree \"1\".tar", 20, 100);  // within a quarter second: not sent
    router_.progress().update("tree \"1\".tar", 100, 100);  // the last figures always are
    const std::string lines = progress.take_body();
    EXPECT_EQ(lines.find("\"bytes\":20"), std::string::npos) << lines;
    const std::string name = "{\"reading\":{\"name\":\"tree \\\"1\\\".tar\",";
    EXPECT_EQ(lines.find(name + "\"bytes\":10,\"of_bytes\":100,\"ms\":"), 0u) << lines;
    EXPECT_NE(lines.find(name + "\"bytes\":100,\"of_bytes\":100,\"ms\":"), std::string::npos) << lines;
    for (std::size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1)
        EXPECT_TRUE(test_support::parse_strict_json(lines.substr(at, end - at))) << lines;

    // A client that comes late gets the newest figures at once.
    stream_reader late(get("/ArchiveContent?progress").stream);
    EXPECT_NE(late.take_body().find("\"bytes\":100"), std::string::npos);

    items_.items[0] = {item_status::ok, "the readme"};
    router_.publish({browse::build_names_listing(tree_), "tag"});
    std::vector<stream_event> served = listing_reader.take();
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(served[0].head.status, ok);
    EXPECT_NE(http::wire_body(served[0].head).find("readme.txt"), std::string::npos);
    EXPECT_EQ(item_reader.take_body(), "the readme");
    served = head_reader.take();
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(served[0].head.status, ok);
    EXPECT_EQ(http::wire_body(served[0].head), "") << "a HEAD that waited still has no body";
    EXPECT_EQ(head_reader.take_body(), "");

    const std::vector<stream_event> last = progress.take();
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0].data, "{\"ready\":true}\n");
    EXPECT_EQ(last[1].what, stream_event::kind::end);

    // Once the archive is served, the figures answer at once that it is.
    stream_reader after(get("/ArchiveContent?progress").stream);
    EXPECT_EQ(after.take_body(), "{\"ready\":true}\n");
    EXPECT_EQ(receive(get("/ArchiveContent/docs/readme.txt")).body, "the readme") << "no longer held";
}
