// Temporary files: O_TMPFILE where the file system has it, else a file made by
// mkstemp and unlinked at once; opened again through /proc/self/fd.
#include "platform/temporary_file.h"

#include "platform/posix/system_error.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

std::string temporary_folder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

// A file in `folder` that never has a name: -1 when the file system cannot make one.
int open_nameless(const std::string& folder)
{
    int handle;
    do {
        handle = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    } while (handle == -1 && errno == EINTR);
    return handle;
}

// A file made under a unique name and unlinked at once: -1 on failure.
int open_unlinked(const std::string& folder)
{
    std::string name = folder + "/vorsel-XXXXXX";
    const int handle = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle != -1)
        ::unlink(name.c_str());
    return handle;
}

}  // namespace

HRESULT temporary_file::create()
{
    close();
    const std::string folder = temporary_folder();
    int handle = open_nameless(folder);
    if (handle == -1)
        handle = open_unlinked(folder);
    if (handle == -1)
        return hresult_from_errno();
    handle_ = handle;
    return S_OK;
}

HRESULT temporary_file::append(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes, size);
        if (written == -1) {
            if (errno == EINTR)
                continue;
            return hresult_from_errno();
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return S_OK;
}

std::string temporary_file::reopen_path() const
{
    return "/proc/self/fd/" + std::to_string(handle_);
}

void temporary_file::close()
{
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
}

}  // namespace platform

namespace platform {

std::string temporary_file_failure(HRESULT failure)
{
    const bool system_error = (static_cast<std::uint32_t>(failure) & 0xFFFF0000u) == 0x80070000u;
    const int code = system_error ? static_cast<int>(static_cast<std::uint32_t>(failure) & 0xFFFFu) : 0;
    if (code == ENOSPC || code == EDQUOT)
        return "no space left in TMPDIR (" + temporary_folder() + ")";
    if (!system_error)
        return "the temporary file in " + temporary_folder() + " could not be written";
    char buffer[256];
    // The GNU strerror_r, which may return a text of its own rather than fill the buffer.
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    return "the temporary file in " + temporary_folder() + " could not be written: " + text;
}

}  // namespace platform
