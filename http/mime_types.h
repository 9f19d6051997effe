// The media type of a file-name extension, from a small fixed table. The
// request handler puts it into the "Content-Type" of successful replies.
#pragma once

#include <string>
#include <string_view>

namespace http {

// `extension` comes without its dot and is compared without regard to the case
// of ASCII letters; anything not in the table is "text/plain".
std::string mime_type_for_extension(std::string_view extension);

}  // namespace http
