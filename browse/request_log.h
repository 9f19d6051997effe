// The console line of each request.
#pragma once

#include <string_view>

namespace browse {

// Writes the decoded path and a newline to standard output, and flushes. Bytes
// below 0x20 and 0x7F are written as \xHH, so that a request cannot send control
// sequences to the user's terminal.
void log_request_path(std::string_view path);

}  // namespace browse
