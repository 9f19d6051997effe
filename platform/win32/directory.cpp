// Folders with FindFirstFileW/FindNextFileW, kinds with GetFileAttributesW.
#include "platform/directory.h"

#include "platform/utf8.h"
#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {

bool find_file(const char* path, bool& is_directory)
{
    const DWORD attributes = ::GetFileAttributesW(wide_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    is_directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

directory_enumerator::directory_enumerator(std::string folder) : folder_(std::move(folder)) {}

directory_enumerator::~directory_enumerator()
{
    if (stream_)
        ::FindClose(static_cast<HANDLE>(stream_));
}

bool directory_enumerator::next(file_entry& entry)
{
    if (finished_)
        return false;
    WIN32_FIND_DATAW found;
    for (;;) {
        if (!stream_) {
            const HANDLE search = ::FindFirstFileW(long_path_form(wide_from_utf8(folder_ + "*")).c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) {
                finished_ = true;
                return false;
            }
            stream_ = search;
        } else if (!::FindNextFileW(static_cast<HANDLE>(stream_), &found)) {
            finished_ = true;
            return false;
        }
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entry.name = utf8_from_wide(name);
        entry.is_directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return true;
    }
}

}  // namespace platform
