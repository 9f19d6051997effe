// UTF-8 and the platform's wide text (UTF-32 on Linux, UTF-16 on Windows): the
// one conversion that every side of the program goes through.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The byte count of the UTF-8 sequence at text[0..length), with its value in
// `code`; 0 when the bytes there are not a valid, shortest-form sequence of a
// scalar value (no surrogate, nothing beyond U+10FFFF). `length` is at least 1.
std::size_t utf8_sequence(const unsigned char* text, std::size_t length, char32_t& code);

// Decodes UTF-8 into `out`, which has room for `length` units; returns the units
// written. A character beyond U+FFFF takes a surrogate pair where wide text is
// UTF-16. A byte that starts no valid sequence becomes U+DC00 + byte
// (U+DC80..U+DCFF), so that any byte string survives the way back.
std::size_t utf8_to_wide(const char* text, std::size_t length, wchar_t* out);

// Room in bytes that wide_to_utf8 needs for `length` units.
constexpr std::size_t utf8_room(std::size_t length)
{
    return 4 * length;
}

// Encodes `length` units into `out` (utf8_room(length) bytes); returns the bytes
// written. A surrogate pair becomes one character; with `restore_bytes` the
// escapes U+DC80..U+DCFF become their bytes again; any other lone surrogate, or
// a value beyond U+10FFFF, becomes '_' and sets `used_default`.
std::size_t wide_to_utf8(const wchar_t* text, std::size_t length, char* out, bool restore_bytes,
                         bool& used_default);

// The same on whole strings, escapes kept as bytes: for paths and other text that
// crosses to and from the system.
std::wstring wide_from_utf8(std::string_view text);
std::string utf8_from_wide(std::wstring_view text);

}  // namespace platform
