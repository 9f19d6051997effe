// File names on Linux are the UTF-8 of the wide name, escaped bytes restored.
#include "platform/posix/file_name.h"

#include "platform/utf8.h"

#include <cwchar>

namespace platform {

std::string file_name_from_wide(const wchar_t* name)
{
    return utf8_from_wide(std::wstring_view(name, std::wcslen(name)));
}

}  // namespace platform
