// The cache folder on XDG's variables, and its files on open(2), rename(2),
// utimensat(2) and unlink(2).
#include "platform/cache_folder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "platform/directory.h"

namespace platform {

namespace {

// Makes `path` and its missing parents; true when it is a folder at the end.
bool make_folders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool write_all(int handle, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(handle, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

std::optional<std::string> cache_folder()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.cache";
    else
        return std::nullopt;
    if (base.back() != '/')
        base += '/';
    const std::string folder = base + "vorsel/";
    if (!make_folders(folder))
        return std::nullopt;
    return folder;
}

std::vector<cached_file> list_cached_files(const std::string& folder)
{
    std::vector<cached_file> files;
    directory_enumerator entries(folder);
    file_entry entry;
    while (entries.next(entry)) {
        struct stat info {};
        if (entry.is_directory || ::stat((folder + entry.name).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        files.push_back({entry.name, static_cast<std::uint64_t>(info.st_size),
                         static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec});
    }
    return files;
}

bool replace_cached_file(const std::string& folder, const std::string& name, const std::string& bytes)
{
    // A name no other process or thread uses at the same time.
    static std::atomic<unsigned> written{0};
    const std::string temporary = folder + "." + name + "." + std::to_string(::getpid()) + "." +
                                  std::to_string(written++) + ".tmp";
    const int handle = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (handle < 0)
        return false;
    const bool whole = write_all(handle, bytes) && ::fsync(handle) == 0;
    const bool closed = ::close(handle) == 0;
    if (!whole || !closed || ::rename(temporary.c_str(), (folder + name).c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> read_cached_file(const std::string& path)
{
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return std::nullopt;
    // Read into one buffer of the file's size: an index may hold tens of MB.
    std::string bytes;
    struct stat status {};
    if (::fstat(handle, &status) == 0 && status.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(handle, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(handle);
            return std::nullopt;
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(handle);
    return bytes;
}

void mark_used(const std::string& path)
{
    (void)::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
}

bool remove_cached_file(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform
