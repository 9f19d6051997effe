// Input files with CreateFileW (wide names, long paths), ReadFile,
// SetFilePointerEx and GetFileSizeEx. Others may read, write and delete the file
// meanwhile, as a temporary file's own handle does.
#include "platform/input_file.h"

#include "platform/win32/system_error.h"
#include "platform/win32/wide_path.h"

#include <algorithm>
#include <cwchar>

namespace platform {
namespace {

constexpr std::uint32_t max_read_size = 4194304;

HANDLE as_handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

HRESULT input_file::open(const wchar_t* name)
{
    const HRESULT closed = close();
    if (closed != S_OK)
        return closed;
    const HANDLE file = ::CreateFileW(long_path_form(name).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return hresult_from_last_error();
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return S_OK;
}

HRESULT input_file::close()
{
    if (handle_ == -1)
        return S_OK;
    const HANDLE file = as_handle(handle_);
    handle_ = -1;
    if (!::CloseHandle(file))
        return hresult_from_last_error();
    return S_OK;
}

HRESULT input_file::read(void* data, std::uint32_t size, std::uint32_t& processed)
{
    processed = 0;
    DWORD count = 0;
    if (!::ReadFile(as_handle(handle_), data, std::min(size, max_read_size), &count, nullptr))
        return hresult_from_last_error();
    processed = count;
    return S_OK;
}

HRESULT input_file::seek(std::int64_t distance, std::uint32_t origin, std::uint64_t& new_position)
{
    static constexpr DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (origin > seek_from_end)
        return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER position;
    if (!::SetFilePointerEx(as_handle(handle_), move, &position, methods[origin]))
        return hresult_from_last_error();
    new_position = static_cast<std::uint64_t>(position.QuadPart);
    return S_OK;
}

HRESULT input_file::size(std::uint64_t& size) const
{
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(as_handle(handle_), &length))
        return hresult_from_last_error();
    size = static_cast<std::uint64_t>(length.QuadPart);
    return S_OK;
}

}  // namespace platform
