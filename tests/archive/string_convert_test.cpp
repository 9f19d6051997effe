// Narrow/wide conversion and case-insensitive comparison.
#include "archive/string_convert.h"
#include "platform/posix/file_name.h"

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

TEST(StringConvert, WideToNarrowWritesUtf8WithUnderscoreForWhatItCannotCarry)
{
    const struct {
        std::wstring in;
        std::string out;
    } table[] = {
        {L"", ""},
        {L"plain.txt", "plain.txt"},
        {L"\u00e9\u4e2d", "\xC3\xA9\xE4\xB8\xAD"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {std::wstring{L'a', wchar_t(0xD800), L'b'}, "a_b"},             // lone high surrogate
        {std::wstring{wchar_t(0xDC80)}, "_"},                           // lone low surrogate
        {std::wstring{wchar_t(0x110000)}, "_"},                         // beyond Unicode
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},  // a pair is joined
    };
    for (const auto& row : table)
        EXPECT_EQ(narrow(row.in), row.out);
}

TEST(StringConvert, NarrowToWideDecodesUtf8AndCarriesBadBytes)
{
    EXPECT_EQ(wide("a\xC3\xA9"), L"a\u00e9");
    EXPECT_EQ(wide("\xF0\x9F\x98\x80"), L"\U0001F600");
    // A stray continuation, a truncated sequence, an overlong form, an encoded
    // surrogate: each undecodable byte stands for itself as U+DC00 + byte.
    EXPECT_EQ(wide("\x80"), std::wstring{wchar_t(0xDC80)});
    EXPECT_EQ(wide("x\xC3"), (std::wstring{L'x', wchar_t(0xDCC3)}));
    EXPECT_EQ(wide("\xC0\xAF"), (std::wstring{wchar_t(0xDCC0), wchar_t(0xDCAF)}));
    EXPECT_EQ(wide("\xED\xA0\x80"), (std::wstring{wchar_t(0xDCED), wchar_t(0xDCA0), wchar_t(0xDC80)}));
}

TEST(StringConvert, FileNamesComeBackByteForByte)
{
    for (const std::string name : {"plain", "caf\xC3\xA9", "bad\xFF\xFE name", "\xC3", "\xE4\xB8"}) {
        const std::wstring w = wide(name);
        EXPECT_EQ(platform::file_name_from_wide(w.c_str()), name);
    }
}

TEST(StringConvert, CompareNoCase)
{
    EXPECT_EQ(CompareNoCase(L"iso", L"Iso"), 0);
    EXPECT_EQ(CompareNoCase(L"UDF", L"udf"), 0);
    EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
    EXPECT_GT(CompareNoCase(L"abcd", L"ABC"), 0);
    EXPECT_NE(CompareNoCase(L"iso", L"is"), 0);
}
