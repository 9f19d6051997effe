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

bool append_page_file(const std::string& path, std::string& out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    descriptor_closer closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;

    constexpr std::size_t chunk = 65536;
    for (;;) {
        std::size_t old_size = out.size();
        out.resize(old_size + chunk);
        ssize_t n = ::read(fd, out.data() + old_size, chunk);
        if (n < 0 && errno == EINTR) {
            out.resize(old_size);
            continue;
        }
        out.resize(old_size + (n > 0 ? static_cast<std::size_t>(n) : 0));
        if (n <= 0)
            return true;
    }
}

}  // namespace platform
