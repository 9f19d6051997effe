// The watch's own descriptor, and fstat(2) of it.
#include "platform/file_watch.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

file_watch::~file_watch()
{
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
}

bool file_watch::open(const std::string& path)
{
    int handle;
    do {
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (handle == -1 && errno == EINTR);
    if (handle == -1)
        return false;
    handle_ = handle;
    path_ = path;
    if (!read_version(opened_)) {
        ::close(handle);
        handle_ = -1;
        return false;
    }
    return true;
}

bool file_watch::read_version(version& now) const
{
    struct stat info {};
    if (::fstat(static_cast<int>(handle_), &info) != 0)
        return false;
    now.size = static_cast<std::uint64_t>(info.st_size);
    now.modified_ns = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    now.status_changed_ns = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return true;
}

bool file_watch::still_at_path() const
{
    struct stat open_file {}, at_path {};
    return ::fstat(static_cast<int>(handle_), &open_file) == 0 && open_file.st_nlink > 0 &&
           ::stat(path_.c_str(), &at_path) == 0 && at_path.st_dev == open_file.st_dev &&
           at_path.st_ino == open_file.st_ino;
}

}  // namespace platform
