// Page files read with open/fstat/read.
#include "platform/page_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor when the read is done, whichever way it ends.
struct descriptor_closer {
    int fd;
    ~descriptor_closer() { ::close(fd); }
};

}  // namespace

namespace platform {

page_file_status append_page_file(const std::string& path, std::string& out, file_identity& identity)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == EMFILE || errno == ENFILE || errno == ENOMEM ? page_file_status::out_of_room
                                                                      : page_file_status::missing;
    descriptor_closer closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return page_file_status::missing;
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                static_cast<std::uint64_t>(info.st_size),
                static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};

    const std::size_t start = out.size();
    constexpr std::size_t chunk = 65536;
    for (;;) {
        std::size_t old_size = out.size();
        out.resize(old_size + chunk);
        ssize_t n = ::read(fd, out.data() + old_size, chunk);
        if (n < 0 && errno == EINTR) {
            out.resize(old_size);
            continue;
        }
        if (n < 0) {
            out.resize(start);
            return page_file_status::read_failed;
        }
        out.resize(old_size + static_cast<std::size_t>(n));
        if (n == 0)
            return page_file_status::ok;
    }
}

}  // namespace platform
