// The program's folder from GetModuleFileNameW, with '/' separators like every
// path the platform layer hands out.
#include "platform/module_path.h"

#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {

std::string module_folder_prefix()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try again with more room
    }
    const std::string full = utf8_path(path);
    const std::size_t slash = full.rfind('/');
    if (slash == std::string::npos)
        return {};
    return full.substr(0, slash + 1);
}

}  // namespace platform
