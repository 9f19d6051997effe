// The byte string that names a file on Linux, from its wide name.
#pragma once

#include <string>

namespace platform {

// UTF-8 of `name`, where U+DC80..U+DCFF stand for the raw bytes 0x80..0xFF that
// multi_byte_to_wide could not decode.
std::string file_name_from_wide(const wchar_t* name);

}  // namespace platform
