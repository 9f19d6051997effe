// Code-page conversion and case-insensitive comparison on the platform's text
// functions.
#include "archive/string_convert.h"

#include "platform/code_page.h"

UString MultiByteToUnicodeString(const AString& text)
{
    UString result;
    if (text.IsEmpty())
        return result;
    wchar_t* units = result.GetBuffer(text.Length() + 1);
    result.ReleaseBuffer(static_cast<int>(
        platform::multi_byte_to_wide(text, static_cast<std::size_t>(text.Length()), units)));
    return result;
}

void UnicodeToMultiByte(const wchar_t* text, int length, AString& result)
{
    const std::size_t room = platform::multi_byte_room(static_cast<std::size_t>(length));
    char* bytes = result.GetBuffer(static_cast<int>(room));
    bool usedDefault = false;
    result.ReleaseBuffer(
        static_cast<int>(platform::wide_to_multi_byte(text, static_cast<std::size_t>(length), bytes, usedDefault)));
}

AString UnicodeStringToMultiByte(const UString& text)
{
    AString result;
    if (!text.IsEmpty())
        UnicodeToMultiByte(text, text.Length(), result);
    return result;
}

int CompareNoCase(const wchar_t* a, const wchar_t* b)
{
    for (;; ++a, ++b) {
        wchar_t ca = *a;
        wchar_t cb = *b;
        if (ca != cb) {
            ca = platform::wide_char_upper(ca);
            cb = platform::wide_char_upper(cb);
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
        if (ca == 0)
            return 0;
    }
}
