// The place where an installed 7-Zip records its folder: the value "Path" of the
// key "Software\7-zip", under the current user or the local machine.
#pragma once

#include <string>

namespace platform {

enum class registry_hive { current_user, local_machine };

// Reads the folder that `hive` names for 7-Zip into `value`; false when it names
// none. On Linux the current user's value is the environment variable
// VORSEL_7ZIP_PATH (when set and not empty), and the local machine's is the first
// system folder that holds the library.
bool read_7zip_path(registry_hive hive, std::string& value);

}  // namespace platform
