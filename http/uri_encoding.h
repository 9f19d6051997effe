// Percent-encoding: every byte but letters, digits and the marks a context
// leaves plain as '%' and two upper-case hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

namespace http {

std::string percent_encode(std::string_view text, std::string_view plain_marks);

// One segment of a path for a URI: the unreserved marks "-._~" stay plain.
inline std::string encode_path_segment(std::string_view segment)
{
    return percent_encode(segment, "-._~");
}

}  // namespace http
