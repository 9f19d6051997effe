// Test folders on the W functions with \\?\ paths, so that any depth can be made
// and removed.
#include "tests/windows/windows_folder.h"

#include "platform/utf8.h"

#include <windows.h>

#include <atomic>

namespace windows_tests {
namespace {

std::wstring absolute(const std::string& path)
{
    std::wstring wide = platform::wide_from_utf8(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return L"\\\\?\\" + wide;
}

void remove_tree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring inner = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(inner);
            else
                ::DeleteFileW(inner.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

windows_folder::windows_folder()
{
    static std::atomic<int> made{0};
    wchar_t temporary[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temporary);
    std::string path = platform::utf8_from_wide(temporary);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    path += "vorsel-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(made++) + "/";
    make_folder(path);
    path_ = path;
}

windows_folder::~windows_folder()
{
    std::wstring folder = absolute(path_);
    folder.pop_back();
    remove_tree(folder);
}

bool write_file(const std::string& path, const std::string& bytes)
{
    const HANDLE file = ::CreateFileW(absolute(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

bool make_folder(const std::string& path)
{
    return ::CreateDirectoryW(absolute(path).c_str(), nullptr) != 0;
}

}  // namespace windows_tests
