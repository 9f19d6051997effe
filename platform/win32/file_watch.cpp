// The watch's own handle (others may still read, write, rename and delete the
// file), and GetFileInformationByHandle of it: size and last write time.
#include "platform/file_watch.h"

#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {

file_watch::~file_watch()
{
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool file_watch::open(const std::string& path)
{
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = path;
    if (!read_version(opened_)) {
        ::CloseHandle(file);
        handle_ = -1;
        return false;
    }
    return true;
}

bool file_watch::read_version(version& now) const
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_), &info))
        return false;
    now.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    now.modified_ns = static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                                info.ftLastWriteTime.dwLowDateTime);
    now.status_changed_ns = 0;
    return true;
}

bool file_watch::still_at_path() const
{
    return true;  // no change time is read here
}

}  // namespace platform
