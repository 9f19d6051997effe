// Text crosses the Windows interfaces as UTF-16: characters beyond U+FFFF as
// surrogate pairs, which must become one UTF-8 character and back.
#include "archive/string_convert.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace {

std::string narrow(const std::wstring& text)
{
    const AString bytes = UnicodeStringToMultiByte(UString(text.c_str()));
    return std::string(bytes, static_cast<std::size_t>(bytes.Length()));
}

std::wstring wide(const std::string& bytes)
{
    const UString text = MultiByteToUnicodeString(AString(bytes.c_str()));
    return std::wstring(text, static_cast<std::size_t>(text.Length()));
}

}  // namespace

TEST(Utf16, WideTextIsUtf16)
{
    static_assert(sizeof(wchar_t) == 2);
    EXPECT_EQ(std::wstring(L"\U0001F600").size(), 2u);
}

TEST(Utf16, ArchiveConversionsJoinAndSplitSurrogatePairs)
{
    const struct {
        std::wstring utf16;
        std::string utf8;
    } table[] = {
        {L"", ""},
        {L"plain.txt", "plain.txt"},
        {L"caf\u00e9/\u4e2d\u6587", "caf\xC3\xA9/\xE4\xB8\xAD\xE6\x96\x87"},
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},          // U+1F600
        {std::wstring{L'a', wchar_t(0xD800), wchar_t(0xDC00), L'b'}, "a\xF0\x90\x80\x80" "b"},  // U+10000
        {std::wstring{wchar_t(0xDBFF), wchar_t(0xDFFF)}, "\xF4\x8F\xBF\xBF"},          // U+10FFFF
    };
    for (const auto& row : table) {
        EXPECT_EQ(narrow(row.utf16), row.utf8);
        EXPECT_EQ(wide(row.utf8), row.utf16);
    }
}

TEST(Utf16, LoneSurrogatesBecomeUnderscores)
{
    const struct {
        std::wstring utf16;
        std::string utf8;
    } table[] = {
        {std::wstring{L'a', wchar_t(0xD800), L'b'}, "a_b"},                // high without low
        {std::wstring{wchar_t(0xD83D)}, "_"},                              // high at the end
        {std::wstring{wchar_t(0xDE00), wchar_t(0xD83D)}, "__"},            // a pair the wrong way round
        {std::wstring{wchar_t(0xD83D), wchar_t(0xD83D), wchar_t(0xDE00)}, "_\xF0\x9F\x98\x80"},
    };
    for (const auto& row : table)
        EXPECT_EQ(narrow(row.utf16), row.utf8);
}

TEST(Utf16, PlatformPathsKeepUndecodableBytes)
{
    // Bytes that are no UTF-8 travel as U+DC80..U+DCFF and come back as themselves.
    for (const std::string text : {"bad\xFF name", "\xC3", "\xED\xA0\x80", "ok \xF0\x9F\x98\x80"}) {
        const std::wstring w = platform::wide_from_utf8(text);
        EXPECT_EQ(platform::utf8_from_wide(w), text);
    }
    EXPECT_EQ(platform::wide_from_utf8("\xFF"), std::wstring{wchar_t(0xDCFF)});
}
