// Encoding of one segment of a path for a URI: every byte but the unreserved
// ones (letters, digits, "-._~") as '%' and two upper-case hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

namespace http {

std::string encode_path_segment(std::string_view segment);

}  // namespace http
