// Long paths: the \\?\ prefix, which Windows takes only on absolute paths with
// '\' separators, since it turns off all other parsing of the path.
#include "platform/win32/wide_path.h"

#include "platform/utf8.h"

#include <windows.h>

namespace platform {
namespace {

// Room for a file name appended by the caller's own functions (FindFirstFileW's "*").
constexpr std::size_t short_path_limit = MAX_PATH - 12;

}  // namespace

std::wstring long_path_form(std::wstring path)
{
    if (path.size() < short_path_limit || path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    for (wchar_t& c : full)
        if (c == L'/')
            c = L'\\';
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring wide_path(std::string_view path)
{
    return long_path_form(wide_from_utf8(path));
}

std::string utf8_path(std::wstring_view path)
{
    std::string result = utf8_from_wide(path);
    for (char& c : result)
        if (c == '\\')
            c = '/';
    return result;
}

}  // namespace platform
