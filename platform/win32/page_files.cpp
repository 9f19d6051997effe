// Page files read with CreateFileW and ReadFile.
#include "platform/page_files.h"

#include "platform/win32/file_identity.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

// Closes the handle when the read is done, whichever way it ends.
struct handle_closer {
    HANDLE file;
    ~handle_closer() { ::CloseHandle(file); }
};

}  // namespace

page_file_status append_page_file(const std::string& path, std::string& out, file_identity& identity)
{
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
                       error == ERROR_OUTOFMEMORY
                   ? page_file_status::out_of_room
                   : page_file_status::missing;
    }
    handle_closer closer{file};
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return page_file_status::missing;
    const std::optional<file_identity> found = identify_open_file(file);
    if (!found)
        return page_file_status::missing;
    identity = *found;

    const std::size_t start = out.size();
    constexpr std::size_t chunk = 65536;
    for (;;) {
        const std::size_t old_size = out.size();
        out.resize(old_size + chunk);
        DWORD count = 0;
        if (!::ReadFile(file, out.data() + old_size, static_cast<DWORD>(chunk), &count, nullptr)) {
            out.resize(start);
            return page_file_status::read_failed;
        }
        out.resize(old_size + count);
        if (count == 0)
            return page_file_status::ok;
    }
}

}  // namespace platform
