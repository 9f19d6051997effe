// Reading the viewer's own page files from disk.
#pragma once

#include <string>

namespace platform {

// Appends the contents of the regular file at `path` to `out`. False, with `out`
// unchanged, when it cannot be opened or is not a regular file (a folder, say).
// A read error in the middle keeps the bytes read until then and still answers true.
bool append_page_file(const std::string& path, std::string& out);

}  // namespace platform
