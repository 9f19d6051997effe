// Console lines of requests and failed items.
#include "app/console_log.h"

#include "browse/item_head.h"

#include <string>

namespace app {

namespace {

// `text` with bytes below 0x20 and 0x7F as \xHH.
std::string escaped(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(text.size() + 1);
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            line += "\\x";
            line += hex[byte >> 4];
            line += hex[byte & 0xF];
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace

void console_log::request_decoded(std::string_view path)
{
    out_.print_bytes(escaped(path) + "\n");
}

void console_log::item_failed(std::string_view item, archive::item_status status)
{
    if (status == archive::item_status::archive_changed) {
        archive_changed();
        return;
    }
    out_.print_bytes("     " + escaped(item) + ": " + browse::item_failure_cause(status) + "\n");
}

void console_log::inner_archive_failed(std::string_view item, std::string_view cause)
{
    out_.print_bytes("     " + escaped(item) + ": cannot be opened: " + escaped(cause) + "\n");
}

void console_log::archive_changed()
{
    if (change_told_.exchange(true))
        return;
    out_.print_bytes("the archive changed on disk after it was opened: nothing more of it is served; start "
                     "Vorsel again to see its new contents\n");
}

void console_log::download_cut(std::string_view item, archive::item_status status)
{
    if (status == archive::item_status::archive_changed) {
        archive_changed();
        return;
    }
    out_.print_bytes(std::string("     ") + archive::item_status_text(status) + ", the download ends at " + escaped(item) +
                     "\n");
}

}  // namespace app
