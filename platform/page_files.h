// Reading the viewer's own page files from disk.
#pragma once

#include <string>

#include "platform/file_identity.h"

namespace platform {

enum class page_file_status {
    ok,
    missing,      // no such file, or not a regular file (a folder, say)
    out_of_room,  // the system is out of descriptors or memory for now
    read_failed,  // it opened but could not be read through
};

// Appends the contents of the regular file at `path` to `out` and tells which
// version of the file it was. On anything but ok, `out` is left as it was.
page_file_status append_page_file(const std::string& path, std::string& out, file_identity& identity);

}  // namespace platform
