// The wide form of a UTF-8 path for the W functions of Windows, long paths included.
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

}  // namespace platform
