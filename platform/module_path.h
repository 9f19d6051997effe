// Where the running program's own executable lives.
#pragma once

#include <string>

namespace platform {

// The full path of the running executable cut after its last '/': its folder with a
// trailing '/'. Empty when the path cannot be read or holds no '/'.
std::string module_folder_prefix();

}  // namespace platform
