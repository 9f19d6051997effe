// Percent- and plus-decoding of request targets.
#include "http/uri_decoding.h"

#include <optional>

namespace http {
namespace {

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of the two bytes after a '%', or nothing when they are no number.
std::optional<int> escape_value(char b1, char b2)
{
    int v1 = hex_value(b1), v2 = hex_value(b2);
    if (v1 >= 0 && v2 >= 0)
        return v1 * 16 + v2;
    if (b1 == '0' && (b2 == 'x' || b2 == 'X'))
        return std::nullopt;  // a hexadecimal prefix with no digit after it
    if (v1 >= 0)
        return v1;
    if ((is_space(b1) || b1 == '+') && v2 >= 0)
        return v2;
    if (b1 == '-' && v2 >= 0)
        return -v2;
    return std::nullopt;
}

}  // namespace

bool decode_uri(std::string_view in, std::string& out)
{
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%') {
            if (in.size() - i < 3)
                return false;
            std::optional<int> value = escape_value(in[i + 1], in[i + 2]);
            if (!value)
                return false;
            out += static_cast<char>(static_cast<unsigned char>(*value & 0xFF));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return true;
}

}  // namespace http
