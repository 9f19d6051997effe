// Percent-encoding of a path segment.
#include "http/uri_encoding.h"

namespace http {

std::string encode_path_segment(std::string_view segment)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (const char c : segment) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

}  // namespace http
