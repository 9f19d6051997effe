// The program's folder from /proc/self/exe.
#include "platform/module_path.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::string module_folder_prefix()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path)
        return {};
    const std::string full(path, static_cast<std::size_t>(length));
    const std::size_t slash = full.rfind('/');
    if (slash == std::string::npos)
        return {};
    return full.substr(0, slash + 1);
}

}  // namespace platform
