#include "http/reply_framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string headers_text(const http::reply& r)
{
    std::string text;
    for (const http::header& h : r.headers)
        text += h.name + ": " + h.value + "|";
    return text;
}

}  // namespace

TEST(ReplyFraming, WhoAsksForTheClose)
{
    struct row {
        std::vector<http::header> headers;
        bool close;
    } table[] = {
        {{}, false},
        {{{"Connection", "close"}}, true},
        {{{"connection", "CLOSE"}}, true},
        {{{"Connection", "keep-alive, close"}}, true},
        {{{"Connection", " Upgrade ,close "}}, true},
        {{{"Connection", "keep-alive"}, {"Connection", "close"}}, true},
        {{{"Connection", "keep-alive"}}, false},
        {{{"Connection", "closed"}}, false},
        {{{"Connection", "close-ish, x"}}, false},
        {{{"X-Connection", "close"}}, false},
        {{{"Connection", ""}}, false},
    };
    for (const row& r : table)
        EXPECT_EQ(http::asks_to_close(r.headers), r.close) << (r.headers.empty() ? "" : r.headers[0].value);
}

TEST(ReplyFraming, VersionsThatSpeakHttp11)
{
    struct row {
        int major, minor;
        bool http11;
    } table[] = {{1, 0, false}, {0, 9, false}, {1, 1, true}, {1, 2, true}, {2, 0, true}, {0, 0, false}};
    for (const row& r : table) {
        http::request req;
        req.http_version_major = r.major;
        req.http_version_minor = r.minor;
        EXPECT_EQ(http::speaks_http11(req), r.http11) << r.major << "." << r.minor;
    }
}

TEST(ReplyFraming, EachReplyGetsTheFramingItsBodyNeeds)
{
    using http::body_framing;
    struct row {
        std::string name;
        http::status_code status;
        std::vector<http::header> headers;
        std::string content;
        bool head_request, complete, keep;
        body_framing framing;
        std::uint64_t length;
        bool kept;
        std::string added;  // headers after the given ones
    } table[] = {
        {"sized", http::ok, {{"Content-Length", "5"}}, "hello", false, true, true, body_framing::length, 5, true, ""},
        {"sized, closing", http::ok, {{"Content-Length", "5"}}, "hello", false, true, false, body_framing::length, 5,
         false, "Connection: close|"},
        {"whole without a length", http::ok, {}, "bare", false, true, true, body_framing::length, 4, true,
         "Content-Length: 4|"},
        {"streamed without a length", http::ok, {}, "", false, false, true, body_framing::chunked, 0, true,
         "Transfer-Encoding: chunked|"},
        {"streamed, closing", http::ok, {}, "", false, false, false, body_framing::chunked, 0, false,
         "Transfer-Encoding: chunked|Connection: close|"},
        {"streamed with a length", http::partial_content, {{"content-length", " 100 "}}, "", false, false, true,
         body_framing::length, 100, true, ""},
        {"HEAD", http::ok, {{"Content-Length", "5"}}, "", true, true, true, body_framing::none, 0, true, ""},
        {"HEAD of a stream", http::ok, {}, "", true, false, true, body_framing::none, 0, true, ""},
        {"304", http::not_modified, {{"ETag", "\"1\""}}, "", false, true, true, body_framing::none, 0, true, ""},
        {"204", http::no_content, {}, "", false, true, true, body_framing::none, 0, true, ""},
        {"two lengths", http::ok, {{"Content-Length", "5"}, {"Content-Length", "5"}}, "hello", false, true, true,
         body_framing::until_close, 0, false, "Connection: close|"},
        {"a length not a number", http::ok, {{"Content-Length", "5x"}}, "hello", false, true, true,
         body_framing::until_close, 0, false, "Connection: close|"},
        {"a signed length", http::ok, {{"Content-Length", "+5"}}, "hello", false, true, true,
         body_framing::until_close, 0, false, "Connection: close|"},
        {"an empty length", http::ok, {{"Content-Length", ""}}, "", false, true, true, body_framing::until_close, 0,
         false, "Connection: close|"},
    };
    for (const row& r : table) {
        http::reply rep;
        rep.status = r.status;
        rep.headers = r.headers;
        rep.content = r.content;
        const std::string given = headers_text(rep);
        const http::reply_framing framing = http::frame_http11_head(rep, r.head_request, r.complete, r.keep);
        EXPECT_EQ(framing.framing, r.framing) << r.name;
        EXPECT_EQ(framing.length, r.length) << r.name;
        EXPECT_EQ(framing.keep, r.kept) << r.name;
        EXPECT_EQ(headers_text(rep), given + r.added) << r.name;
    }
}

TEST(ReplyFraming, StatusLinesAndChunkLines)
{
    http::reply rep = http::canned_reply(http::not_found);
    const std::string head = http::wire_head(rep);
    EXPECT_EQ(http::http11_head(rep), "HTTP/1.1" + head.substr(8));
    EXPECT_EQ(http::http11_head(rep).substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
    rep.status = static_cast<http::status_code>(299);
    EXPECT_EQ(http::http11_head(rep).substr(0, 35), "HTTP/1.1 500 Internal Server Error\r");

    struct row {
        std::size_t size;
        std::string line;
    } table[] = {{1, "1\r\n"}, {10, "a\r\n"}, {255, "ff\r\n"}, {262144, "40000\r\n"}, {0xFFFFFFFFu, "ffffffff\r\n"}};
    for (const row& r : table)
        EXPECT_EQ(http::chunk_line(r.size), r.line) << r.size;
}
