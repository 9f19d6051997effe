// Conversion between narrow text in the OEM code page and wide text. The code
// page is UTF-8 on every platform; wide text is UTF-32 on Linux, UTF-16 on Windows.
#pragma once

#include <cstddef>

namespace platform {

// Decodes `length` bytes into `out`, which must have room for `length` units;
// returns the number of units written (a surrogate pair where a character needs
// one). A byte that does not start a valid sequence
// becomes U+DC00 + byte (U+DC80..U+DCFF), so that any byte string comes back
// unchanged to the system's file names.
std::size_t multi_byte_to_wide(const char* text, std::size_t length, wchar_t* out);

// Room in bytes that wide_to_multi_byte needs for `length` units.
constexpr std::size_t multi_byte_room(std::size_t length)
{
    return 4 * length;
}

// Encodes `length` units into `out` (multi_byte_room(length) bytes); returns the
// number of bytes written. A surrogate pair is joined; a lone surrogate or a value
// beyond U+10FFFF becomes '_' and sets `used_default`.
std::size_t wide_to_multi_byte(const wchar_t* text, std::size_t length, char* out, bool& used_default);

// The upper-case form of a wide character.
wchar_t wide_char_upper(wchar_t c);

}  // namespace platform
