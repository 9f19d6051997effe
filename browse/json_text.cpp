// Escaping and repairing text for JSON.
#include "browse/json_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "platform/utf8.h"

namespace browse {
namespace {

bool needs_escape(char c)
{
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
}

}  // namespace

void append_json_number(std::string& out, std::uint64_t value)
{
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void append_json_string(std::string& out, std::string_view text)
{
    out += '"';
    append_json_escaped(out, text);
    out += '"';
}

void append_json_escaped(std::string& out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::size_t run_start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!needs_escape(c))
            continue;
        out.append(text.data() + run_start, i - run_start);
        run_start = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += hex[static_cast<unsigned char>(c) >> 4];
            out += hex[c & 0xF];
        }
    }
    out.append(text.data() + run_start, text.size() - run_start);
}

std::string valid_utf8(std::string_view bytes, std::vector<byte_range>& ranges)
{
    std::string out;
    out.reserve(bytes.size());
    // Where each bound of the ranges lands, found in one walk: bounds in
    // ascending order are met as the walk passes them.
    std::vector<std::size_t*> bounds;
    for (byte_range& range : ranges) {
        bounds.push_back(&range.first);
        bounds.push_back(&range.second);
    }
    std::sort(bounds.begin(), bounds.end(), [](const std::size_t* a, const std::size_t* b) { return *a < *b; });
    std::size_t next_bound = 0;
    auto place_bounds_up_to = [&](std::size_t offset) {
        while (next_bound < bounds.size() && *bounds[next_bound] <= offset)
            *bounds[next_bound++] = out.size();
    };
    char32_t code;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = static_cast<unsigned char>(bytes[i]) < 0x80
                                       ? 1
                                       : platform::utf8_sequence(reinterpret_cast<const unsigned char*>(bytes.data()) + i, bytes.size() - i, code);
        if (length == 0) {
            place_bounds_up_to(i);
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        place_bounds_up_to(i);
        out.append(bytes.data() + i, length);
        i += length;
    }
    place_bounds_up_to(SIZE_MAX);
    return out;
}

}  // namespace browse
