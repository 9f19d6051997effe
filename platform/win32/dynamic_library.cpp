// Libraries with LoadLibraryW, by wide names; "loading as a data file" is a
// check of the "MZ" start of an executable image.
#include "platform/dynamic_library.h"

#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {

const char* main_plugin_library_name()
{
    return "7z.dll";
}

bool is_library_file(const char* path)
{
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char magic[2] = {};
    DWORD count = 0;
    const bool is_image = ::ReadFile(file, magic, sizeof magic, &count, nullptr) && count == sizeof magic &&
                          magic[0] == 'M' && magic[1] == 'Z';
    ::CloseHandle(file);
    return is_image;
}

bool dynamic_library::load(const char* path)
{
    if (!free())
        return false;
    handle_ = ::LoadLibraryW(wide_path(path).c_str());
    return handle_ != nullptr;
}

bool dynamic_library::free()
{
    if (!handle_)
        return true;
    if (!::FreeLibrary(static_cast<HMODULE>(handle_)))
        return false;
    handle_ = nullptr;
    return true;
}

void* dynamic_library::symbol(const char* name) const
{
    if (!handle_)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace platform
