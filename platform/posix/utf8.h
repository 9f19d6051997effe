// One UTF-8 sequence, read strictly: shared by the posix text conversions.
#pragma once

#include <cstddef>

namespace platform {

// The byte count of the UTF-8 sequence at text[0..length), with its value in
// `code`; 0 when the bytes there are not a valid, shortest-form sequence of a
// scalar value (no surrogate, nothing beyond U+10FFFF). `length` is at least 1.
inline std::size_t utf8_sequence(const unsigned char* text, std::size_t length, char32_t& code)
{
    const unsigned char lead = text[0];
    std::size_t count;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (count > length)
        return 0;
    for (std::size_t i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (text[i] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return count;
}

}  // namespace platform
