// Console lines of requests and failed items.
#include "app/console_log.h"

#include <string>

namespace app {

void console_log::request_decoded(std::string_view path)
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
    out_.print_bytes(line);
}

void console_log::item_failed(archive::item_status status)
{
    out_.print_bytes(std::string("     ") + archive::item_status_text(status) + "\n");
}

}  // namespace app
