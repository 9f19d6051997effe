// File identity from GetFileInformationByHandle: volume serial, file index,
// size and last write time.
#include "platform/win32/file_identity.h"

#include "platform/win32/wide_path.h"

namespace platform {

std::optional<file_identity> identify_open_file(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file, &info))
        return std::nullopt;
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t unix_epoch = 116444736000000000;
    const std::uint64_t written =
        (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    return file_identity{info.dwVolumeSerialNumber,
                         (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                         (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                         (static_cast<std::int64_t>(written) - unix_epoch) * 100};
}

std::optional<file_identity> identify_file(const std::string& path)
{
    // Folders open too, with FILE_FLAG_BACKUP_SEMANTICS.
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<file_identity> identity = identify_open_file(file);
    ::CloseHandle(file);
    return identity;
}

}  // namespace platform
