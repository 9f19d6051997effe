// A reply as the request handler fills it and the connection writes it: the
// status, the header lines and the body. wire_head() and wire_body() lay it out
// for the wire; canned_reply() makes the fixed small page of a status.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/header.h"

namespace http {

// The statuses with a status line and page of their own. A reply may carry any
// other number too (static_cast); it is then written with the line of 500.
enum status_code : int {
    ok = 200,
    created = 201,
    accepted = 202,
    no_content = 204,
    partial_content = 206,
    multiple_choices = 300,
    moved_permanently = 301,
    moved_temporarily = 302,
    not_modified = 304,
    bad_request = 400,
    unauthorized = 401,
    forbidden = 403,
    not_found = 404,
    conflict = 409,
    length_required = 411,
    payload_too_large = 413,
    range_not_satisfiable = 416,
    internal_server_error = 500,
    not_implemented = 501,
    bad_gateway = 502,
    service_unavailable = 503,
};

class reply_stream;

struct reply {
    status_code status = ok;
    std::vector<header> headers;  // written in this order, exactly as stored
    std::string content;          // the body, sent as is

    // A body made once and shared by many replies; sent instead of `content`:
    // `shared_length` bytes of it from `shared_offset` (all of it by default).
    std::shared_ptr<const std::string> shared_content;
    std::size_t shared_offset = 0;
    std::size_t shared_length = std::string::npos;

    // When set, the whole reply comes from the stream instead (see reply_stream.h).
    std::shared_ptr<reply_stream> stream;
};

// The reply as it goes on the wire: the head (status line, "name: value"
// lines, the empty line) made into one string, so that head and body leave in
// one gathered write of two buffers; and the body, a view into `r` (or its
// shared body) that must stay alive and unchanged until the write completes.
std::string wire_head(const reply& r);
std::string_view wire_body(const reply& r);

// A complete reply for `status`: its page as the body, "Content-Length" and
// "Content-Type: text/html". A status without a page of its own keeps its
// number and gets the page of 500.
reply canned_reply(status_code status);

// A reply of `status` whose body is `text`, sent as UTF-8 plain text, with
// "Content-Length" and "Content-Type".
reply text_reply(status_code status, std::string text);

}  // namespace http
