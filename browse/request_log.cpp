// Console line per request.
#include "browse/request_log.h"

#include <cstdio>
#include <string>

namespace browse {

void log_request_path(std::string_view path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(path.size() + 1);
    for (char c : path) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            line += "\\x";
            line += hex[byte >> 4];
            line += hex[byte & 0xF];
        } else {
            line += c;
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

}  // namespace browse
