// The 7-Zip folder: VORSEL_7ZIP_PATH first, as on Linux, then the value "Path"
// of Software\7-Zip that 7-Zip's installer writes, under the current user and
// then the local machine. Separators become '/'.
#include "platform/registry.h"

#include "platform/environment.h"
#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {
namespace {

bool read_path_value(HKEY hive, std::string& value)
{
    // The registry view of the program's own width: a 32-bit program finds a
    // 32-bit 7-Zip, whose library is the one it can load.
    DWORD size = 0;
    const DWORD flags = RRF_RT_REG_SZ;  // REG_EXPAND_SZ too, expanded
    if (::RegGetValueW(hive, L"Software\\7-Zip", L"Path", flags, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return false;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(hive, L"Software\\7-Zip", L"Path", flags, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return false;
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    if (text.empty())
        return false;
    value = utf8_path(text);
    return true;
}

}  // namespace

bool read_7zip_path(registry_hive hive, std::string& value)
{
    if (hive == registry_hive::current_user) {
        const std::optional<std::string> path = environment_variable("VORSEL_7ZIP_PATH");
        if (path && !path->empty()) {
            value = *path;
            return true;
        }
        return read_path_value(HKEY_CURRENT_USER, value);
    }
    return read_path_value(HKEY_LOCAL_MACHINE, value);
}

}  // namespace platform
