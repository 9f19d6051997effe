// The cache folder under %LOCALAPPDATA%, and its files on CreateFileW,
// MoveFileExW, SetFileTime and DeleteFileW.
#include "platform/cache_folder.h"

#include <algorithm>
#include <atomic>

#include "platform/environment.h"
#include "platform/win32/wide_path.h"

#include <windows.h>

namespace platform {

namespace {

// Makes `path` (with '/' separators, ending in one) and its missing parents;
// true when it is a folder at the end.
bool make_folders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 3); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::wstring part = wide_path(path.substr(0, slash));
        if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    const DWORD attributes = ::GetFileAttributesW(wide_path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// 100-nanosecond intervals since 1601 to nanoseconds since 1970.
std::int64_t unix_nanoseconds(const FILETIME& time)
{
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

}  // namespace

std::optional<std::string> cache_folder()
{
    const std::optional<std::string> local = environment_variable("LOCALAPPDATA");
    if (!local || local->size() < 3)
        return std::nullopt;
    std::string folder = utf8_path(wide_path(*local));
    if (folder.back() != '/')
        folder += '/';
    folder += "vorsel/";
    if (!make_folders(folder))
        return std::nullopt;
    return folder;
}

std::vector<cached_file> list_cached_files(const std::string& folder)
{
    std::vector<cached_file> files;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(wide_path(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        files.push_back({utf8_path(found.cFileName), size, unix_nanoseconds(found.ftLastWriteTime)});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

bool replace_cached_file(const std::string& folder, const std::string& name, const std::string& bytes)
{
    // A name no other process or thread uses at the same time.
    static std::atomic<unsigned> written{0};
    const std::wstring temporary = wide_path(folder + "." + name + "." + std::to_string(::GetCurrentProcessId()) +
                                             "." + std::to_string(written++) + ".tmp");
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool whole = true;
    for (std::size_t done = 0; whole && done < bytes.size();) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD count = 0;
        whole = ::WriteFile(file, bytes.data() + done, piece, &count, nullptr) && count == piece;
        done += count;
    }
    whole = whole && ::FlushFileBuffers(file);
    const bool closed = ::CloseHandle(file) != 0;
    if (!whole || !closed ||
        !::MoveFileExW(temporary.c_str(), wide_path(folder + name).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> read_cached_file(const std::string& path)
{
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    // Read into one buffer of the file's size: an index may hold tens of MB.
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0)
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
            ::CloseHandle(file);
            return std::nullopt;
        }
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    ::CloseHandle(file);
    return bytes;
}

void mark_used(const std::string& path)
{
    const HANDLE file = ::CreateFileW(wide_path(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    (void)::SetFileTime(file, nullptr, nullptr, &now);
    ::CloseHandle(file);
}

bool remove_cached_file(const std::string& path)
{
    return ::DeleteFileW(wide_path(path).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace platform
