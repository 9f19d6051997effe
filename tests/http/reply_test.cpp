#include "http/reply.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using http::canned_reply;
using http::reply;
using http::status_code;
using http::wire_body;
using http::wire_head;

namespace {

std::string on_the_wire(const reply& r)
{
    return wire_head(r) + std::string(wire_body(r));
}

std::string page(const std::string& title, const std::string& heading)
{
    return "<html><head><title>" + title + "</title></head><body><h1>" + heading + "</h1></body></html>";
}

std::string canned_wire(const std::string& status_line, const std::string& body)
{
    return status_line + "Content-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/html\r\n\r\n" + body;
}

}  // namespace

TEST(Reply, BadRequestByteForByte)
{
    const std::string body = "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";
    EXPECT_EQ(on_the_wire(canned_reply(http::bad_request)),
              "HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n" + body);
}

TEST(Reply, EveryCannedReplyByteForByte)
{
    struct row {
        status_code status;
        std::string reason;
        std::string heading;  // empty: the reply has no body
    };
    const row table[] = {
        {http::ok, "OK", ""},
        {http::created, "Created", "201 Created"},
        {http::accepted, "Accepted", "202 Accepted"},
        {http::no_content, "No Content", "204 Content"},
        {http::partial_content, "Partial Content", ""},
        {http::multiple_choices, "Multiple Choices", "300 Multiple Choices"},
        {http::moved_permanently, "Moved Permanently", "301 Moved Permanently"},
        {http::moved_temporarily, "Moved Temporarily", "302 Moved Temporarily"},
        {http::not_modified, "Not Modified", "304 Not Modified"},
        {http::bad_request, "Bad Request", "400 Bad Request"},
        {http::unauthorized, "Unauthorized", "401 Unauthorized"},
        {http::forbidden, "Forbidden", "403 Forbidden"},
        {http::not_found, "Not Found", "404 Not Found"},
        {http::conflict, "Conflict", "409 Conflict"},
        {http::range_not_satisfiable, "Range Not Satisfiable", "416 Range Not Satisfiable"},
        {http::internal_server_error, "Internal Server Error", "500 Internal Server Error"},
        {http::not_implemented, "Not Implemented", "501 Not Implemented"},
        {http::bad_gateway, "Bad Gateway", "502 Bad Gateway"},
        {http::service_unavailable, "Service Unavailable", "503 Service Unavailable"},
    };
    for (const row& r : table) {
        const std::string status_line = "HTTP/1.0 " + std::to_string(r.status) + " " + r.reason + "\r\n";
        const std::string body = r.heading.empty() ? "" : page(r.reason, r.heading);
        const reply canned = canned_reply(r.status);
        EXPECT_EQ(canned.status, r.status);
        EXPECT_EQ(on_the_wire(canned), canned_wire(status_line, body)) << r.status;
    }
}

TEST(Reply, OkHasEmptyBodyAndLengthZero)
{
    const reply canned = canned_reply(http::ok);
    EXPECT_EQ(canned.content, "");
    ASSERT_EQ(canned.headers.size(), 2u);
    EXPECT_EQ(canned.headers[0].name, "Content-Length");
    EXPECT_EQ(canned.headers[0].value, "0");
}

TEST(Reply, UnlistedStatusKeepsItsNumberButUsesTheLineAndPageOf500)
{
    const std::string line_500 = "HTTP/1.0 500 Internal Server Error\r\n";
    const std::string page_500 = page("Internal Server Error", "500 Internal Server Error");
    for (int number : {205, 0, -1, 599, 200000}) {
        const auto status = static_cast<status_code>(number);
        const reply canned = canned_reply(status);
        EXPECT_EQ(canned.status, number);
        EXPECT_EQ(on_the_wire(canned), canned_wire(line_500, page_500)) << number;
    }
}

TEST(Reply, HeadersAndBodyAreWrittenAsStored)
{
    reply r;
    EXPECT_EQ(on_the_wire(r), "HTTP/1.0 200 OK\r\n\r\n");

    r.status = http::not_found;
    r.content = std::string("body\0\r\n", 7);
    EXPECT_EQ(on_the_wire(r), "HTTP/1.0 404 Not Found\r\n\r\n" + r.content);

    r.headers = {{"x-lower", ""}, {"X", " spaced : value "}, {"x-lower", "again"}};
    EXPECT_EQ(on_the_wire(r), "HTTP/1.0 404 Not Found\r\nx-lower: \r\nX:  spaced : value \r\n"
                              "x-lower: again\r\n\r\n" + r.content);
}

TEST(Reply, TheBodyIsSentFromTheReplyOrItsSharedBodyWithoutACopy)
{
    reply r = canned_reply(http::not_found);
    EXPECT_EQ(wire_body(r).data(), r.content.data());

    r.shared_content = std::make_shared<const std::string>("0123456789");
    r.shared_offset = 2;
    r.shared_length = 5;
    EXPECT_EQ(wire_body(r).data(), r.shared_content->data() + 2);
    EXPECT_EQ(wire_body(r), "23456");
    r.shared_length = std::string::npos;
    EXPECT_EQ(wire_body(r), "23456789");
}
