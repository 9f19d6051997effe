// The incremental parser of a request's header. Bytes may arrive in any number
// of pieces; the parser keeps its place between them and collects the text
// straight into the `request` it is given. It accepts the request line
// "METHOD SP URI SP HTTP/major.minor CRLF" and header lines "Name: value CRLF"
// (continuation lines starting with SP or TAB extend the previous value), and
// stops at the empty line that ends the header; it never reads a body.
//
// Each step answers true (the header is complete), false (the request is
// malformed) or indeterminate (more bytes are needed). A parser and its request
// serve one request: after true or false the caller stops feeding it, and
// takes a fresh pair for the next request on the connection.
//
// Memory is bounded: a header that has not ended within max_header_bytes bytes
// is malformed, so a client cannot make a connection buffer without end.
#pragma once

#include <cstddef>
#include <utility>

#include <boost/logic/tribool.hpp>

#include "http/request.h"

namespace http {

class request_parser {
public:
    static constexpr std::size_t max_header_bytes = 64 * 1024;

    // One step of the machine on one byte.
    boost::tribool consume(request& req, char input);

    // Feeds [begin, end) to consume() until a byte decides the outcome; returns
    // that outcome and the position just after the deciding byte, or
    // indeterminate and `end` when no byte decided it.
    std::pair<boost::tribool, const char*> parse(request& req, const char* begin, const char* end);

    // Whether the request line, and with it the version, has been read whole.
    bool request_line_read() const { return state_ >= state::header_line_start; }

private:
    enum class state {
        method_start,
        method,
        uri,
        http_h,
        http_t_1,
        http_t_2,
        http_p,
        http_slash,
        major_start,
        major,
        minor_start,
        minor,
        request_line_lf,
        header_line_start,
        continuation,
        header_name,
        space_before_value,
        header_value,
        header_lf,
        final_lf,
    };

    boost::tribool step(request& req, char input);

    state state_ = state::method_start;
    std::size_t consumed_ = 0;
};

}  // namespace http
