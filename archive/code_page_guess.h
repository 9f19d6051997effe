// Guessing the code page of text from its bytes, with uchardet where the build
// has it (archive/charset_detection/): for item names that are not UTF-8 and
// whose archive does not say which code page they are in. Where it says which
// system made an item, that tells the family of code pages to expect.
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

// The system that wrote an item's name, as far as it tells the code page:
// DOS, OS/2 and Windows write names in an OEM code page (437, 850, 866, 932...),
// Unix in its locale's charset (ISO-8859-x, KOI8-R, EUC-JP...).
enum class names_origin : std::uint8_t { unknown, dos, unix_like };

// The origin of an item whose "Host OS" the library gives as `host_os` ("FAT",
// "NTFS", "Unix", "MS DOS", "Win32"...), ignoring case; unknown for the others
// (classic Mac OS, Amiga, VMS...) and for none.
names_origin origin_of_host(std::string_view host_os);

}  // namespace archive
