// Decoding of a request target's path: percent escapes. A '+' stays a plus, as
// browsers send a space in a path as "%20"; only form-encoded queries mean a
// space by it.
#pragma once

#include <string>
#include <string_view>

namespace http {

// Decodes `in` into `out`; false for a malformed escape (`out` is then partial).
// A '%' is followed by two bytes read together as a hexadecimal number the way
// formatted stream input reads one: "%4g" is the byte 4 (both bytes consumed),
// "% 1" and "%+1" are 1, "%-1" is 0xFF, "%0x" and "%g1" fail.
bool decode_uri(std::string_view in, std::string& out);

}  // namespace http
