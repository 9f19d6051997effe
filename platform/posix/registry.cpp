// The 7-Zip folder from the environment or the package manager's folders.
#include "platform/registry.h"

#include <cstdlib>

#include "platform/directory.h"

namespace platform {

namespace {

constexpr const char* system_folders[] = {"/usr/lib/p7zip", "/usr/lib/7zip", "/usr/local/lib/p7zip",
                                          "/usr/local/lib/7zip"};

bool holds_library(const std::string& folder)
{
    bool is_directory = false;
    return find_file((folder + "/7z.so").c_str(), is_directory) && !is_directory;
}

}  // namespace

bool read_7zip_path(registry_hive hive, std::string& value)
{
    if (hive == registry_hive::current_user) {
        const char* path = std::getenv("VORSEL_7ZIP_PATH");
        if (!path || !*path)
            return false;
        value = path;
        return true;
    }
    for (const char* folder : system_folders) {
        if (holds_library(folder)) {
            value = folder;
            return true;
        }
    }
    return false;
}

}  // namespace platform
