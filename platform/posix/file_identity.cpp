// File identity from stat.
#include "platform/file_identity.h"

#include <sys/stat.h>

namespace platform {

std::optional<file_identity> identify_file(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return file_identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                         static_cast<std::uint64_t>(info.st_size),
                         static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace platform
