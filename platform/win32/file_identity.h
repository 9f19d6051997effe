// The identity of an open file, shared by file_identity.cpp and page_files.cpp.
#pragma once

#include "platform/file_identity.h"

#include <windows.h>

namespace platform {

// Volume serial number, file index, size and last write of an open file, or
// nothing when the system cannot tell them.
std::optional<file_identity> identify_open_file(HANDLE file);

}  // namespace platform
