// The one byte range a "Range" request header may ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "http/header.h"

namespace http {

// "bytes=A-B", "bytes=A-" or "bytes=-N" as written.
struct range_request {
    std::optional<std::uint64_t> first;  // empty for a suffix
    std::optional<std::uint64_t> last;   // empty when open-ended; the suffix length for a suffix
};

// The range of the request's "Range" header. Nothing when there is none, when
// it is malformed or asks for several ranges: the whole body is then sent.
std::optional<range_request> requested_range(const std::vector<header>& headers);

// Inclusive byte positions within a body.
struct byte_span {
    std::uint64_t first;
    std::uint64_t last;
    std::uint64_t length() const { return last - first + 1; }
};

// The bytes of a body of `size` that the range selects, or nothing when it
// selects none (a 416).
std::optional<byte_span> resolve_range(const range_request& range, std::uint64_t size);

}  // namespace http
