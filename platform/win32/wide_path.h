// Paths between the program (UTF-8, '/') and the W functions of Windows (UTF-16,
// long paths included).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// `path` in UTF-16. A path as long as MAX_PATH or longer becomes absolute, with
// '\' separators and the \\?\ (or \\?\UNC\) prefix that lifts the limit; shorter
// ones pass as they are ('/' works there).
std::wstring wide_path(std::string_view path);

// The same for a path that is already wide.
std::wstring long_path_form(std::wstring path);

// A path from Windows as the rest of the program takes it: UTF-8 with '/'
// separators, the one separator that it splits paths at.
std::string utf8_path(std::wstring_view path);

}  // namespace platform
