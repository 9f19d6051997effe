#include "http/request_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using http::header;
using http::request;
using http::request_parser;
using namespace std::string_literals;

namespace {

std::string name_of(boost::tribool result)
{
    if (result)
        return "true";
    if (!result)
        return "false";
    return "indeterminate";
}

struct outcome {
    std::string result;
    std::size_t used;  // bytes up to and including the deciding one
};

outcome parse_whole(request_parser& parser, request& req, const std::string& input)
{
    auto [result, position] = parser.parse(req, input.data(), input.data() + input.size());
    return {name_of(result), static_cast<std::size_t>(position - input.data())};
}

outcome parse_whole(const std::string& input)
{
    request_parser parser;
    request req;
    return parse_whole(parser, req, input);
}

// Feeds the input one byte per parse() call; returns the result of each call.
std::vector<std::string> parse_bytewise(const std::string& input, request& req)
{
    request_parser parser;
    std::vector<std::string> results;
    for (const char& byte : input)
        results.push_back(name_of(parser.parse(req, &byte, &byte + 1).first));
    return results;
}

// Every byte but the last needs more input; the last one decides.
void expect_decided_at_last_byte(const std::string& input, const std::string& decision, request& req)
{
    std::vector<std::string> expected(input.size(), "indeterminate");
    expected.back() = decision;
    EXPECT_EQ(parse_bytewise(input, req), expected);
}

using header_list = std::vector<std::pair<std::string, std::string>>;

header_list pairs_of(const std::vector<header>& headers)
{
    header_list pairs;
    for (const header& h : headers)
        pairs.emplace_back(h.name, h.value);
    return pairs;
}

struct accepted_row {
    std::string input;
    std::string method;
    std::string uri;
    int major;
    int minor;
    header_list headers;
};

const std::vector<accepted_row>& accepted_requests()
{
    static const std::vector<accepted_row> rows = {
        {"GET /index.html HTTP/1.0\r\n\r\n", "GET", "/index.html", 1, 0, {}},
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", "GET", "/", 1, 1, {{"Host", "a"}}},
        // Optional whitespace around a value is not part of it; tabs inside are.
        {"GET / HTTP/1.1\r\nHost:  a\r\n\r\n", "GET", "/", 1, 1, {{"Host", "a"}}},
        {"GET / HTTP/1.1\r\nHost:a\r\n\r\n", "GET", "/", 1, 1, {{"Host", "a"}}},
        {"GET / HTTP/1.1\r\nHost:\t127.0.0.1 \t\r\n\r\n", "GET", "/", 1, 1, {{"Host", "127.0.0.1"}}},
        {"GET / HTTP/1.0\r\nX: a\tb\r\n\r\n", "GET", "/", 1, 0, {{"X", "a\tb"}}},
        {"GET / HTTP/1.0\r\nX:\r\n\r\n", "GET", "/", 1, 0, {{"X", ""}}},
        {"GET / HTTP/1.0\r\nX: \r\n\r\n", "GET", "/", 1, 0, {{"X", ""}}},
        {"GET  HTTP/1.0\r\n\r\n", "GET", "", 1, 0, {}},
        {"get / HTTP/01.10\r\n\r\n", "get", "/", 1, 10, {}},
        {"!#$%&'*+-.^_`|~09aZ /? HTTP/9.9\r\n\r\n", "!#$%&'*+-.^_`|~09aZ", "/?", 9, 9, {}},
        // Continuation lines join the previous value with nothing between.
        {"GET / HTTP/1.0\r\nX: a\r\n b\r\n\r\n", "GET", "/", 1, 0, {{"X", "ab"}}},
        {"GET / HTTP/1.0\r\nX: a\r\n\t \tb c\r\n\r\n", "GET", "/", 1, 0, {{"X", "ab c"}}},
        {"GET / HTTP/1.0\r\nX: a\r\n  \r\n\r\n", "GET", "/", 1, 0, {{"X", "a"}}},
        {"GET / HTTP/1.0\r\nX: \r\n y\r\n z\r\n\r\n", "GET", "/", 1, 0, {{"X", "yz"}}},
        // Names are kept as received, repeats give further entries, in order.
        {"GET / HTTP/1.0\r\nA: 1\r\nhost: 2\r\nA: 3\r\n\r\n", "GET", "/", 1, 0,
         {{"A", "1"}, {"host", "2"}, {"A", "3"}}},
        // Bytes 0x80 to 0xFF pass in the target and in values.
        {"GET /caf\xc3\xa9 HTTP/1.0\r\nX: \xff\x80 \"q\"\r\n\r\n", "GET", "/caf\xc3\xa9", 1, 0,
         {{"X", "\xff\x80 \"q\""}}},
    };
    return rows;
}

// Each input ends with the byte at which it fails.
const std::vector<std::string>& malformed_requests()
{
    static const std::vector<std::string> rows = {
        "\0"s,
        " ",
        "\xc3",
        "G\xc3",
        "GET\t",
        "GET /a\t",
        "GET /\x7f",
        "GET /\0"s,
        "get / h",
        "GET / HTTPS",
        "GET / HTTP/.",
        "GET / HTTP/1\r",
        "GET / HTTP/1.\r",
        "GET / HTTP/1.0 ",
        "GET / HTTP/1.0x",
        "GET /index.html HTTP/1.0\n",
        "GET / HTTP/1.0\rx",
        "GET / HTTP/1.0\r\n\n",
        "GET / HTTP/1.0\r\n ",
        "GET / HTTP/1.0\r\n\t",
        "GET / HTTP/1.0\r\nX ",
        "GET / HTTP/1.0\r\nX\xc3",
        "GET / HTTP/1.0\r\nX\r",
        "GET / HTTP/1.0\r\nX: a\0"s,
        "GET / HTTP/1.0\r\nX:\x01",
        "GET / HTTP/1.0\r\nX: a\x7f",
        "GET / HTTP/1.0\r\nX: a\n",
        "GET / HTTP/1.0\r\nX: a\rb",
        "GET / HTTP/1.0\r\nX: a\r\n \x01",
        "GET / HTTP/1.0\r\nX: a\r\n\r\r",
        "GET / HTTP/1.0\r\n\rx",
    };
    return rows;
}

}  // namespace

TEST(RequestParser, AcceptedRequestsFillTheRecord)
{
    for (const accepted_row& row : accepted_requests()) {
        request_parser parser;
        request req;
        const outcome result = parse_whole(parser, req, row.input);
        EXPECT_EQ(result.result, "true") << row.input;
        EXPECT_EQ(result.used, row.input.size()) << row.input;
        EXPECT_EQ(req.method, row.method) << row.input;
        EXPECT_EQ(req.uri, row.uri) << row.input;
        EXPECT_EQ(req.http_version_major, row.major) << row.input;
        EXPECT_EQ(req.http_version_minor, row.minor) << row.input;
        EXPECT_EQ(pairs_of(req.headers), row.headers) << row.input;
    }
}

TEST(RequestParser, OneByteAtATimeDecidesOnlyAtTheLastByte)
{
    for (const accepted_row& row : accepted_requests()) {
        request req;
        SCOPED_TRACE(row.input);
        expect_decided_at_last_byte(row.input, "true", req);
        EXPECT_EQ(req.uri, row.uri);
        EXPECT_EQ(pairs_of(req.headers), row.headers);
    }
}

// Every truncated prefix needs more input, and the rest, read next, completes it.
TEST(RequestParser, SplitIntoTwoReadsAnywhereGivesTheSameRequest)
{
    for (const accepted_row& row : accepted_requests()) {
        for (std::size_t cut = 0; cut < row.input.size(); ++cut) {
            request_parser parser;
            request req;
            const outcome prefix = parse_whole(parser, req, row.input.substr(0, cut));
            EXPECT_EQ(prefix.result, "indeterminate") << row.input << " cut at " << cut;
            EXPECT_EQ(prefix.used, cut);
            EXPECT_EQ(parse_whole(parser, req, row.input.substr(cut)).result, "true") << cut;
            EXPECT_EQ(pairs_of(req.headers), row.headers) << row.input << " cut at " << cut;
        }
    }
}

TEST(RequestParser, MalformedRequestsFailAtTheOffendingByte)
{
    for (const std::string& input : malformed_requests()) {
        request req;
        SCOPED_TRACE(testing::PrintToString(input));
        expect_decided_at_last_byte(input, "false", req);
    }
}

TEST(RequestParser, BytesAfterTheDecidingByteAreLeftAlone)
{
    const std::string trailer = "GET /other HTTP/1.0\r\nY: z\r\n\r\n\n\x01";
    for (const accepted_row& row : accepted_requests()) {
        request_parser parser;
        request req;
        const outcome result = parse_whole(parser, req, row.input + trailer);
        EXPECT_EQ(result.result, "true") << row.input;
        EXPECT_EQ(result.used, row.input.size()) << row.input;
        EXPECT_EQ(pairs_of(req.headers), row.headers) << row.input;
    }
    for (const std::string& input : malformed_requests()) {
        const outcome result = parse_whole(input + "\r\n\r\n");
        EXPECT_EQ(result.result, "false") << testing::PrintToString(input);
        EXPECT_EQ(result.used, input.size()) << testing::PrintToString(input);
    }
}

TEST(RequestParser, VersionDigitsWithoutLimitAreHarmless)
{
    const std::string nines(1000, '9');
    const outcome result = parse_whole("GET / HTTP/" + nines + "." + nines + "\r\n\r\n");
    EXPECT_EQ(result.result, "true");

    // The numbers wrap modulo 2^32: 2^32 + 1 reads as 1, 2^31 as the lowest int.
    request_parser parser;
    request req;
    EXPECT_EQ(parse_whole(parser, req, "GET / HTTP/4294967297.2147483648\r\n\r\n").result, "true");
    EXPECT_EQ(req.http_version_major, 1);
    EXPECT_EQ(req.http_version_minor, -2147483647 - 1);
}

TEST(RequestParser, HeaderThatNeverEndsIsCutAtSixtyFourKibibytes)
{
    ASSERT_EQ(request_parser::max_header_bytes, 65536u);
    const std::string start = "GET /";
    const std::string endless = start + std::string(65536 - start.size(), 'a');

    request_parser parser;
    request req;
    const outcome result = parse_whole(parser, req, endless + "more");
    EXPECT_EQ(result.result, "false");
    EXPECT_EQ(result.used, 65536u);

    // A caller that goes on feeding gets false, and nothing more is kept.
    const std::size_t kept = req.uri.size();
    EXPECT_EQ(parse_whole(parser, req, " HTTP/1.0\r\n\r\n").result, "false");
    EXPECT_EQ(req.uri.size(), kept);
}

TEST(RequestParser, HeaderEndingExactlyAtTheBoundIsAccepted)
{
    const std::string tail = " HTTP/1.0\r\n\r\n";
    const std::string fits = "GET /" + std::string(65536 - 5 - tail.size(), 'a') + tail;
    ASSERT_EQ(fits.size(), 65536u);
    EXPECT_EQ(parse_whole(fits).result, "true");

    const std::string one_over = "GET /a" + fits.substr(5);
    const outcome result = parse_whole(one_over);
    EXPECT_EQ(result.result, "false");
    EXPECT_EQ(result.used, 65536u);
}

TEST(RequestParser, LargeHeaderOverManyReadsIsAccepted)
{
    std::string input = "GET /big HTTP/1.1\r\n";
    for (int i = 0; i < 60; ++i)
        input += "X-" + std::to_string(i) + ": " + std::string(1024, 'v') + "\r\n";
    input += "\r\n";
    ASSERT_GT(input.size(), 60u * 1024);
    ASSERT_LT(input.size(), 65536u);

    request_parser parser;
    request req;
    const std::size_t read_size = 997;
    std::string last = "indeterminate";
    for (std::size_t offset = 0; offset < input.size(); offset += read_size) {
        EXPECT_EQ(last, "indeterminate") << offset;
        last = parse_whole(parser, req, input.substr(offset, read_size)).result;
    }
    EXPECT_EQ(last, "true");
    ASSERT_EQ(req.headers.size(), 60u);
    EXPECT_EQ(req.headers[59].name, "X-59");
    EXPECT_EQ(req.headers[59].value, std::string(1024, 'v'));
}
