// The texts of item results, and the collecting sink.
#include "archive/item_sink.h"

#include <exception>

namespace archive {

const char* item_status_text(item_status status)
{
    switch (status) {
    case item_status::unsupported_method:
        return "Unsupported Method";
    case item_status::data_error:
        return "Data Error";
    case item_status::crc_error:
        return "CRC Failed";
    case item_status::unavailable:
        return "Unavailable Data";
    case item_status::unexpected_end:
        return "Unexpected End";
    case item_status::password_needed:
        return "Password Needed";
    case item_status::wrong_password:
        return "Wrong Password";
    case item_status::unknown_error:
        return "Unknown Error";
    case item_status::archive_changed:
        return "Archive Changed On Disk";
    case item_status::ok:
    case item_status::failed:
    case item_status::aborted:
        break;
    }
    return "";
}

bool string_sink::write(const char* data, std::size_t size)
{
    // An item that does not fit in memory ends its extraction, not the program.
    try {
        target_.append(data, size);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace archive
