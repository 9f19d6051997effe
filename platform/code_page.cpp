// The OEM code page is UTF-8 on every platform: conversions through platform/utf8.
#include "platform/code_page.h"

#include "platform/utf8.h"

#include <cwctype>

namespace platform {

std::size_t multi_byte_to_wide(const char* text, std::size_t length, wchar_t* out)
{
    return utf8_to_wide(text, length, out);
}

std::size_t wide_to_multi_byte(const wchar_t* text, std::size_t length, char* out, bool& used_default)
{
    return wide_to_utf8(text, length, out, false, used_default);
}

wchar_t wide_char_upper(wchar_t c)
{
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace platform
