// Input files on open(2), read(2), lseek(2) and fstat(2).
#include "platform/input_file.h"

#include "platform/posix/file_name.h"
#include "platform/posix/system_error.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t max_read_size = 4194304;

}  // namespace

HRESULT input_file::open(const wchar_t* name)
{
    const HRESULT closed = close();
    if (closed != S_OK)
        return closed;
    const std::string path = file_name_from_wide(name);
    int handle;
    do {
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (handle == -1 && errno == EINTR);
    if (handle == -1)
        return hresult_from_errno();
    handle_ = handle;
    return S_OK;
}

HRESULT input_file::close()
{
    if (handle_ == -1)
        return S_OK;
    const int handle = static_cast<int>(handle_);
    handle_ = -1;
    if (::close(handle) != 0 && errno != EINTR)
        return hresult_from_errno();
    return S_OK;
}

HRESULT input_file::read(void* data, std::uint32_t size, std::uint32_t& processed)
{
    processed = 0;
    ssize_t count;
    do {
        count = ::read(static_cast<int>(handle_), data, std::min(size, max_read_size));
    } while (count == -1 && errno == EINTR);
    if (count == -1)
        return hresult_from_errno();
    processed = static_cast<std::uint32_t>(count);
    return S_OK;
}

HRESULT input_file::seek(std::int64_t distance, std::uint32_t origin, std::uint64_t& new_position)
{
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin > seek_from_end)
        return STG_E_INVALIDFUNCTION;
    const off_t position = ::lseek(static_cast<int>(handle_), static_cast<off_t>(distance), whence[origin]);
    if (position == -1)
        return hresult_from_errno();
    new_position = static_cast<std::uint64_t>(position);
    return S_OK;
}

HRESULT input_file::size(std::uint64_t& size) const
{
    struct stat status {};
    if (::fstat(static_cast<int>(handle_), &status) != 0)
        return hresult_from_errno();
    size = static_cast<std::uint64_t>(status.st_size);
    return S_OK;
}

}  // namespace platform
