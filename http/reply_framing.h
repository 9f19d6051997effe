// How a reply goes on the wire for the request it answers. An HTTP/1.0 request
// gets the reply exactly as the handler made it, its body ended by the close.
// An HTTP/1.1 request gets an HTTP/1.1 reply whose body the client can delimit
// without the close: by its Content-Length, or in chunks when its length is
// not known as its head leaves; the connection then stays open for the next
// request unless the client asked for the close ("Connection: close") or the
// server cannot go on (the reply says so with "Connection: close").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/header.h"
#include "http/reply.h"
#include "http/request.h"

namespace http {

// Whether the request names HTTP/1.1 or a later version.
bool speaks_http11(const request& req);

// Whether the request's Connection headers hold the option "close".
bool asks_to_close(const std::vector<header>& headers);

enum class body_framing {
    none,         // no body goes out: the reply to a HEAD request, 204, 304
    length,       // exactly the Content-Length's bytes
    chunked,      // in chunks, then the last, empty chunk
    until_close,  // the body ends with the connection
};

struct reply_framing {
    body_framing framing = body_framing::until_close;
    std::uint64_t length = 0;  // with `length`: the bytes the head promises
    bool keep = false;         // the connection stays open after the reply
};

// Frames the head of a reply to an HTTP/1.1 request and adds the headers that
// say how: "Transfer-Encoding: chunked" for a body of unknown length,
// "Content-Length" for a whole body (`complete`: the head carries all of it)
// that has none, "Connection: close" when the connection will not be kept.
// `keep` says whether it may be; a reply whose length cannot be read (a
// Content-Length given twice or not a number) ends with the connection.
reply_framing frame_http11_head(reply& head, bool head_request, bool complete, bool keep);

// The reply's head as wire_head() lays it out, with a status line that names
// HTTP/1.1.
std::string http11_head(const reply& r);

// The line that opens a chunk of `size` bytes: its size in hexadecimal, CRLF.
std::string chunk_line(std::size_t size);

}  // namespace http
