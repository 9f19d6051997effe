// Strings in the JSON that the browse routes write: escaping of UTF-8 text,
// and bytes of any kind made valid UTF-8 with their offsets carried along.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace browse {

// A range of byte offsets [first, second) into some text.
using byte_range = std::pair<std::size_t, std::size_t>;

// Appends `text` (UTF-8) escaped for the inside of a JSON string: '"', '\'
// and control bytes; runs of other bytes are copied whole.
void append_json_escaped(std::string& out, std::string_view text);

// Appends the decimal digits of `value`.
void append_json_number(std::string& out, std::uint64_t value);

// Appends `text` (UTF-8) as a JSON string, in its quotes.
void append_json_string(std::string& out, std::string_view text);

// `bytes` as UTF-8: each byte that does not belong to a valid sequence becomes
// U+FFFD. Each range is moved to the same characters in the result (a bound
// inside a character moves to its end).
std::string valid_utf8(std::string_view bytes, std::vector<byte_range>& ranges);

}  // namespace browse
