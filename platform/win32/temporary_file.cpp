// Temporary files in the user's temporary folder, made with
// FILE_FLAG_DELETE_ON_CLOSE: the system deletes the file when its last handle
// closes, also when the process is killed. Readers open it again by its name,
// which works because every handle shares reading, writing and deletion.
#include "platform/temporary_file.h"

#include "platform/win32/system_error.h"
#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE as_handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

HRESULT temporary_file::create()
{
    close();
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return hresult_from_last_error();
    wchar_t name[MAX_PATH];
    // A unique name; GetTempFileNameW makes the file, which is opened again at once.
    if (::GetTempFileNameW(folder, L"vsl", 0, name) == 0)
        return hresult_from_last_error();
    const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const HRESULT failure = hresult_from_last_error();
        ::DeleteFileW(name);
        return failure;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = utf8_path(name);
    return S_OK;
}

HRESULT temporary_file::append(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < 0x40000000 ? size : 0x40000000);
        DWORD written = 0;
        if (!::WriteFile(as_handle(handle_), bytes, piece, &written, nullptr))
            return hresult_from_last_error();
        bytes += written;
        size -= written;
    }
    return S_OK;
}

std::string temporary_file::reopen_path() const
{
    return path_;
}

void temporary_file::close()
{
    if (handle_ != -1)
        ::CloseHandle(as_handle(handle_));
    handle_ = -1;
    path_.clear();
}

}  // namespace platform

namespace platform {

std::string temporary_file_failure(HRESULT failure)
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    const std::string where = length == 0 || length > MAX_PATH ? std::string("TEMP") : utf8_path(folder);
    if (failure == HRESULT_FROM_WIN32(ERROR_DISK_FULL) || failure == HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL))
        return "no space left in TEMP (" + where + ")";
    wchar_t* text = nullptr;
    const DWORD size = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(failure), 0, reinterpret_cast<wchar_t*>(&text),
                                        0, nullptr);
    std::wstring said = size && text ? std::wstring(text, size) : std::wstring();
    if (text)
        ::LocalFree(text);
    while (!said.empty() && (said.back() == L'\r' || said.back() == L'\n' || said.back() == L'.' || said.back() == L' '))
        said.pop_back();
    const std::string written = "the temporary file in " + where + " could not be written";
    return said.empty() ? written : written + ": " + utf8_path(said);
}

}  // namespace platform
