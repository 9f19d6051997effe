// The name an item gets in a zip that the server writes: each folder and the
// file name made safe to create on the disk the zip is unpacked on, as the
// viewer makes names safe when it extracts to a folder. Characters that
// Windows forbids in names (and control characters) become '_', a trailing
// dot or space goes, a device name (CON, NUL, COM1...) gets a leading '_',
// and an empty name becomes "_": "C:/win/con.txt" is "C_/win/_con.txt".
#pragma once

#include <string>
#include <string_view>

namespace browse {

// `path` is relative, with '/' between its names.
std::string zip_entry_name(std::string_view path);

}  // namespace browse
