// Environment variables in UTF-8 from the wide environment, and the machine's
// memory from GlobalMemoryStatusEx.
#include "platform/environment.h"

#include "platform/utf8.h"

#include <windows.h>

namespace platform {

std::optional<std::string> environment_variable(const char* name)
{
    const std::wstring wide_name = wide_from_utf8(name);
    std::wstring value(256, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length =
            ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                return std::nullopt;
            return std::string();
        }
        if (length < value.size()) {
            value.resize(length);
            return utf8_from_wide(value);
        }
        value.resize(length);  // the room needed, its NUL included
    }
}

std::uint64_t physical_memory_bytes()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullTotalPhys;
}

}  // namespace platform
