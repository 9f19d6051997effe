// Versions, framing headers and chunk lines of replies.
#include "http/reply_framing.h"

#include <charconv>
#include <string_view>

#include "http/header_values.h"

namespace http {
namespace {

// The single Content-Length of the headers: nothing when there is none, false
// when it cannot be read (given twice, empty, or not a decimal number).
bool read_content_length(const std::vector<header>& headers, std::optional<std::uint64_t>& length)
{
    length.reset();
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, "Content-Length"))
            continue;
        const std::string_view value = trim(h.value);
        std::uint64_t number = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (length || value.empty() || error != std::errc() || end != value.data() + value.size() ||
            value.front() == '-' || value.front() == '+')
            return false;
        length = number;
    }
    return true;
}

// Replies that never have a body, whatever their headers say.
bool has_no_body(status_code status)
{
    return (status >= 100 && status < 200) || status == no_content || status == not_modified;
}

}  // namespace

bool speaks_http11(const request& req)
{
    return req.http_version_major > 1 || (req.http_version_major == 1 && req.http_version_minor >= 1);
}

bool asks_to_close(const std::vector<header>& headers)
{
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, "Connection"))
            continue;
        std::string_view options = h.value;
        while (!options.empty()) {
            const std::size_t comma = options.find(',');
            if (equals_ignoring_case(trim(options.substr(0, comma)), "close"))
                return true;
            options = comma == std::string_view::npos ? std::string_view() : options.substr(comma + 1);
        }
    }
    return false;
}

reply_framing frame_http11_head(reply& head, bool head_request, bool complete, bool keep)
{
    reply_framing result;
    result.keep = keep;
    std::optional<std::uint64_t> length;
    const bool readable = read_content_length(head.headers, length);
    if (head_request || has_no_body(head.status)) {
        result.framing = body_framing::none;
    } else if (!readable) {
        result.framing = body_framing::until_close;
        result.keep = false;
    } else if (length) {
        result.framing = body_framing::length;
        result.length = *length;
    } else if (complete) {
        result.framing = body_framing::length;
        result.length = wire_body(head).size();
        head.headers.push_back({"Content-Length", std::to_string(result.length)});
    } else {
        result.framing = body_framing::chunked;
        head.headers.push_back({"Transfer-Encoding", "chunked"});
    }
    if (!result.keep)
        head.headers.push_back({"Connection", "close"});
    return result;
}

std::string http11_head(const reply& r)
{
    std::string head = wire_head(r);
    head[7] = '1';  // "HTTP/1.0 " becomes "HTTP/1.1 "
    return head;
}

std::string chunk_line(std::size_t size)
{
    char digits[2 * sizeof size];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, size, 16);
    (void)error;  // the buffer holds every size's digits
    return std::string(digits, end).append("\r\n");
}

}  // namespace http
