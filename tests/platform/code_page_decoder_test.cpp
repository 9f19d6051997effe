// Decoding Windows code pages with the system's converter, as a table.
#include "platform/code_page_decoder.h"

#include <gtest/gtest.h>

namespace {

struct decoded {
    std::size_t used;
    std::string text;
};

decoded decode(std::uint32_t code_page, std::string_view bytes)
{
    platform::code_page_decoder decoder(code_page);
    EXPECT_TRUE(decoder.usable()) << code_page;
    decoded result;
    result.used = decoder.decode(bytes, result.text);
    return result;
}

}  // namespace

TEST(CodePageDecoder, DecodesTheLongestStartOfWholeCharacters)
{
    const struct {
        std::uint32_t code_page;
        std::string_view bytes;
        std::size_t used;
        std::string_view text;
    } table[] = {
        {932, "", 0, ""},
        {932, "plain.txt", 9, "plain.txt"},
        // 表 and ソ end in 0x5C, which is a backslash only as a byte of its own.
        {932, "\x95\x5C\x8E\xA6/\x83\x5C\x83\x74\x83\x67.txt", 15, "表示/ソフト.txt"},
        {932, "a\\b", 3, "a\\b"},
        {932, "\x82\xA0\x81", 2, "あ"},         // a lead byte cut short at the end
        {932, "\x82\xA0\x81\x20x", 2, "あ"},     // a lead byte with no trail byte after it
        {932, "ok\xFF", 2, "ok"},                // a byte that begins no character
        {932, "\xA0", 0, ""},
        {866, "\x8F\xE0\xA8\xA2\xA5\xE2 \xAC\xA8\xE0", 10, "Привет мир"},
        {866, "\xF0\xFF", 2, "Ё\u00A0"},          // every byte of 866 is a character
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", 6, "Привет"},
#ifndef _WIN32
        {1251, "a\x98z", 1, "a"},                 // 0x98 is no character of 1251 (Windows: U+0098)
#endif
        {1252, "caf\xE9", 4, "café"},
        {20866, "\xF0\xD2\xC9\xD7\xC5\xD4", 6, "Привет"},  // KOI8-R
        {28595, "\xBF\xE0\xD8", 3, "При"},                  // ISO 8859-5
        {936, "\xD6\xD0\xCE\xC4", 4, "中文"},
        {950, "\xA4\xA4\xA4\xE5", 4, "中文"},
        {949, "\xC7\xD1\xB1\xDB", 4, "한글"},
#ifndef _WIN32
        {54936, "\x81\x30\x81\x30", 4, "\u0080"},  // Wine 8 has no GB18030
#endif
        {65001, "caf\xC3\xA9\xFF", 5, "café"},
        {65001, "ok\xF7\x9A\x9D\x9A", 2, "ok"},  // beyond U+10FFFF, which iconv's UTF-8 would pass on
        {65001, "\xF4\x90\x80\x80", 0, ""},
        {65001, "\xED\xA0\x80", 0, ""},          // an encoded surrogate
        {65001, "\xC0\xAF", 0, ""},               // an overlong form
    };
    for (const auto& row : table) {
        const decoded result = decode(row.code_page, row.bytes);
        EXPECT_EQ(result.used, row.used) << row.code_page << " " << row.bytes;
        EXPECT_EQ(result.text, row.text) << row.code_page << " " << row.bytes;
    }
}

TEST(CodePageDecoder, OneDecoderServesManyTexts)
{
    platform::code_page_decoder decoder(932);
    std::string out;
    EXPECT_EQ(decoder.decode("\x82", out), 0u);  // cut short: nothing left pending
    EXPECT_EQ(decoder.decode("\x82\xA0", out), 2u);
    EXPECT_EQ(out, "あ");
    std::string big;
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "\x82\xA0";
    EXPECT_EQ(decoder.decode(many, big), many.size());
    EXPECT_EQ(big.size(), 3000u);
}

TEST(CodePageDecoder, UnknownCodePagesAreNotUsable)
{
    for (const std::uint32_t code_page : {0u, 1u, 12345u, 4294967295u}) {
        platform::code_page_decoder decoder(code_page);
        EXPECT_FALSE(decoder.usable()) << code_page;
        std::string out;
        EXPECT_EQ(decoder.decode("abc", out), 0u);
    }
    platform::code_page_decoder moved(866);
    platform::code_page_decoder taker(0);
    taker = std::move(moved);
    EXPECT_TRUE(taker.usable());
    EXPECT_EQ(taker.code_page(), 866u);
}
