// Guessing the code page of text from its bytes, with uchardet where the build
// has it (archive/charset_detection/): for item names that are not UTF-8 and
// whose archive does not say which code page they are in.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace archive {

// The Windows code page of the charset that uchardet names ("SHIFT_JIS" gives
// 932, "IBM866" 866, "WINDOWS-1251" 1251...), ignoring case; nothing for one
// that names no code page names are written in (ASCII, UTF-16, an unknown one).
std::optional<std::uint32_t> code_page_of_charset(std::string_view charset);

// The charset that uchardet finds in `text`, as it names it; empty when it
// finds none or the build has no detector.
std::string detected_charset(std::string_view text);

}  // namespace archive
