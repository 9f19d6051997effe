// Names that the library could not decode: its escapes, decoding them with a
// code page, detecting it, and handing names on in order.
#include "archive/item_names.h"

#include <gtest/gtest.h>

#include <map>

#include "archive/code_page_guess.h"
#include "archive/latin_code_page.h"

using archive::decoded_name;

namespace {

// "{FF}" in a table stands for the library's escape of byte 0xFF (U+EFFF).
std::string escaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 3 < text.size() && text[i + 3] == '}') {
            const char32_t code = archive::name_escape_base + std::stoul(std::string(text.substr(i + 1, 2)), nullptr, 16);
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

TEST(ItemNames, EscapesStandForBytesAndShowAsReplacementCharacters)
{
    const struct {
        std::string_view name;    // with {XX} for escapes
        bool holds;
        std::string_view bytes;   // what it stands for
        std::string_view shown;
    } table[] = {
        {"", false, "", ""},
        {"plain.txt", false, "plain.txt", "plain.txt"},
        {"café 日本", false, "café 日本", "café 日本"},
        {"bad{FF}{FE}.txt", true, "bad\xFF\xFE.txt", "bad\uFFFD\uFFFD.txt"},
        {"{80}{BF}{C0}", true, "\x80\xBF\xC0", "\uFFFD\uFFFD\uFFFD"},
        // The library's cp932 name: a 0x5C second byte arrives as a backslash.
        {"{95}\\{8E}{A6}", true, "\x95\\\x8E\xA6", "\uFFFD\\\uFFFD\uFFFD"},
        // Neighbours of the escapes' range are characters like any.
        {"\uEF7F\uF000\uEE80", false, "\uEF7F\uF000\uEE80", "\uEF7F\uF000\uEE80"},
    };
    for (const auto& row : table) {
        const std::string name = escaped(row.name);
        EXPECT_EQ(archive::holds_escapes(name), row.holds) << row.name;
        EXPECT_EQ(archive::unescaped_bytes(name), row.bytes) << row.name;
        EXPECT_EQ(archive::shown_name(name), row.shown) << row.name;
    }
    // Bytes that are not UTF-8 at all (a file name, say) show as U+FFFD too.
    EXPECT_EQ(archive::shown_name("a\xFF" "b\xC3"), "a\uFFFD" "b\uFFFD");
    EXPECT_TRUE(archive::is_utf8("café"));
    EXPECT_FALSE(archive::is_utf8("caf\xE9"));
    EXPECT_FALSE(archive::is_utf8("\xED\xA0\x80"));  // an encoded surrogate
    EXPECT_FALSE(archive::is_utf8("\xC0\xAF"));      // an overlong form
}

TEST(ItemNames, BytesDecodeInTheCodePageAndWhatDoesNotStaysEscaped)
{
    const struct {
        std::uint32_t code_page;  // 0: none, the bytes taken as UTF-8
        std::string_view bytes;
        std::string_view name;    // with {XX} for escapes
    } table[] = {
        // UTF-8, as the library escapes what is not.
        {0, "caf\xC3\xA9.txt", "café.txt"},
        {0, "bad\xFF\xFE.txt", "bad{FF}{FE}.txt"},
        {0, "a\xC3", "a{C3}"},
        {0, "\xED\xA0\x80z", "{ED}{A0}{80}z"},
        {0, "\xEE\xBE\x85x", "{EE}{BE}{85}x"},  // U+EF85 would read as an escape: its bytes are escaped
        // Code page 932: the second byte 0x5C belongs to its character.
        {932, "\x95\x5C\x8E\xA6/\x83\x5C\x83\x74\x83\x67.txt", "表示/ソフト.txt"},
        {932, "\x94\x5C\x97\xCD.txt", "能力.txt"},
        {932, "yen\\sign", "yen\\sign"},
        {932, "\x82\xA0\xFF\x82\xA2", "あ{FF}い"},
        {932, "\x82\xA0\x81", "あ{81}"},
        {932, "\x81 x", "{81} x"},
        // Code page 866, whose bytes may also look like UTF-8 (E0 A8 A2 is U+0A22).
        {866, "\x8F\xE0\xA8\xA2\xA5\xE2/\xAC\xA8\xE0.txt", "Привет/мир.txt"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
        {1251, "a\x98z", "a{98}z"},
        // A code page that decodes into the escapes' range: those bytes stay escaped.
        {65001, "ok\xEE\xBF\xBF\xC3\xA9\xFF", "ok{EE}{BF}{BF}é{FF}"},
        // GB18030 writes U+EF85 as 83 38 8A 34: its bytes go as escapes, the ASCII ones as themselves.
        {54936, "\xD6\xD0\x83\x38\x8A\x34\xCE\xC4", "中{83}8{8A}4文"},
    };
    for (const auto& row : table) {
        std::optional<platform::code_page_decoder> decoder;
        if (row.code_page)
            decoder.emplace(row.code_page);
        EXPECT_EQ(decoded_name(row.bytes, decoder ? &*decoder : nullptr), escaped(row.name))
            << row.code_page << " " << row.bytes;
    }
}

TEST(ItemNames, UchardetsCharsetsHaveTheirCodePages)
{
    const std::map<std::string, std::optional<std::uint32_t>> table = {
        {"SHIFT_JIS", 932}, {"shift_jis", 932}, {"IBM866", 866},      {"WINDOWS-1251", 1251},
        {"KOI8-R", 20866},  {"EUC-JP", 51932},  {"GB18030", 54936},   {"BIG5", 950},
        {"EUC-KR", 949},    {"ISO-8859-5", 28595}, {"ASCII", std::nullopt}, {"UTF-16", std::nullopt},
        {"", std::nullopt}, {"SHIFT_JISX", std::nullopt},
    };
    for (const auto& [charset, code_page] : table) {
        EXPECT_EQ(archive::code_page_of_charset(charset), code_page) << charset;
        if (code_page) {
            EXPECT_TRUE(platform::code_page_decoder(*code_page).usable()) << charset;
        }
    }
}

TEST(ItemNames, DetectionTakesEnoughBytesThatItDecodes)
{
    using archive::names_origin;
    const struct {
        std::vector<std::string> names;
        names_origin origin;
        std::optional<std::uint32_t> code_page;
    } table[] = {
        // Names from Japanese Windows, in code page 932.
        {{"\x95\x5C\x8E\xA6/\x83\x5C\x83\x74\x83\x67.txt", "\x94\x5C\x97\xCD.txt",
          "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B.txt"},
         names_origin::unknown, 932},
        // Russian names in the DOS code page 866 and in Windows's 1251.
        {{"\x8F\xE0\xA8\xA2\xA5\xE2/\xAC\xA8\xE0.txt", "\x84\xAE\xAA\xE3\xAC\xA5\xAD\xE2\xEB/\x8E\xE2\xE7\xF1\xE2.txt"},
         names_origin::unknown, 866},
        {{"\xCF\xF0\xE8\xE2\xE5\xF2/\xEC\xE8\xF0.txt", "\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB/\xCE\xF2\xF7\xB8\xF2.txt"},
         names_origin::unknown, 1251},
        // Too few bytes to tell anything from, when nothing tells where they were written.
        {{"bad\xFF\xFE.txt"}, names_origin::unknown, std::nullopt},
        {{"caf\xE9 cr\xE8me.txt"}, names_origin::unknown, std::nullopt},
        {{}, names_origin::unknown, std::nullopt},
        // From Unix and from DOS, a few Western bytes are enough.
        {{"caf\xE9 cr\xE8me.txt"}, names_origin::unix_like, 1252},
        {{"caf\x82 cr\x8Ame.txt"}, names_origin::dos, 850},
        // The bytes say otherwise: Latin-1 from DOS (as the detector finds,
        // which reads as cp1252 does), cp850 from Unix.
        {{"caf\xE9 cr\xE8me.txt"}, names_origin::dos, 28591},
        {{"caf\x82 cr\x8Ame.txt"}, names_origin::unix_like, 850},
        // A few bytes that read as no word in any of them stay undecoded.
        {{"\x94\x5C\x97\xCD.txt"}, names_origin::dos, std::nullopt},
        {{"\x81\x8D.txt"}, names_origin::unix_like, std::nullopt},
    };
    for (const auto& row : table) {
        std::string charset;
        EXPECT_EQ(archive::detect_names_code_page(row.names, row.origin, charset), row.code_page)
            << (row.names.empty() ? "" : row.names[0]) << " " << charset;
    }
}

TEST(ItemNames, HostsTellWhereNamesWereWritten)
{
    using archive::names_origin;
    const std::map<std::string, names_origin> table = {
        {"FAT", names_origin::dos},          {"NTFS", names_origin::dos},        {"HPFS", names_origin::dos},
        {"VFAT", names_origin::dos},         {"OS/2", names_origin::dos},        {"MS DOS", names_origin::dos},
        {"Win32", names_origin::dos},        {"Windows", names_origin::dos},     {"Unix", names_origin::unix_like},
        {"UNIX", names_origin::unix_like},   {"Macintosh", names_origin::unknown}, {"OS/X", names_origin::unknown},
        {"", names_origin::unknown},         {"FAT32", names_origin::unknown},
    };
    for (const auto& [host, origin] : table)
        EXPECT_EQ(archive::origin_of_host(host), origin) << host;
}

TEST(ItemNames, NamesReadOddlyInTheWrongCodePage)
{
    const struct {
        std::string_view name;  // with {XX} for escapes
        std::optional<std::size_t> odd;
        std::size_t in_words;
    } table[] = {
        {"café crème.txt", 0, 2},
        {"cafÚ crÈme.txt", 2, 0},        // Latin-1 read as cp850
        {"cafÚ crŔme.txt", 2, 0},        // and as cp852
        {"cafΘ crΦme.txt", 2, 0},        // and as cp437: Greek among Latin letters
        {"caf‚ crŠme.txt", 1, 0},        // cp850 read as cp1252
        {"Sm›rrebr›d.txt", 2, 0},
        {"Smørrebrød.txt", 0, 2},
        {"ÉTÉ 2020.TXT", 0, 2},
        {"don’t · “Œuvre”.txt", 0, 1},
        {"€ budget – 2020.txt", 0, 0},
        {"¥and£.txt", 2, 0},
        {"dir╬╦.txt", 1, 0},
        {"Привет/мир.txt", 0, 0},
        {"Приvет.txt", 2, 0},            // two scripts in one word
        {"üì.txt", 0, 0},
        {"plain.txt", 0, 0},
        {"bad{FF}.txt", std::nullopt, 0},  // a byte left undecoded
        {"ctl\x01.txt", std::nullopt, 0},
        {"c1\u0085.txt", std::nullopt, 0},
    };
    for (const auto& row : table) {
        const std::optional<archive::name_reading> reading = archive::read_name(escaped(row.name));
        ASSERT_EQ(reading.has_value(), row.odd.has_value()) << row.name;
        if (reading) {
            EXPECT_EQ(reading->odd, *row.odd) << row.name;
            EXPECT_EQ(reading->in_words, row.in_words) << row.name;
        }
    }
}

TEST(ItemNames, NamesAreHandedOnInOrderAndDecodedTogether)
{
    std::vector<std::pair<std::string, std::uint32_t>> got;
    const archive::names_decoder::visitor visit = [&got](std::string_view name, std::uint32_t index) {
        got.emplace_back(std::string(name), index);
    };
    {
        archive::names_decoder names(932, visit);
        names.add("first", 0);
        EXPECT_EQ(got.size(), 1u);  // nothing held before the first name to decode
        names.add(escaped("{95}\\{8E}{A6}"), 1);
        names.add("third", 2);
        names.add(escaped("{82}{A0}{FF}"), 3);
        names.add(escaped("{EE}{BE}{85} is private"), 4);  // bytes that are UTF-8 stay as they came
        EXPECT_EQ(got.size(), 1u);
        const archive::names_outcome outcome = names.finish();
        EXPECT_EQ(outcome.escaped, 3u);
        EXPECT_EQ(outcome.left_undecoded, 2u);
        EXPECT_EQ(outcome.code_page, 932u);
        EXPECT_FALSE(outcome.detected);
    }
    const std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"first", 0}, {"表示", 1}, {"third", 2}, {escaped("あ{FF}"), 3}, {escaped("{EE}{BE}{85} is private"), 4}};
    EXPECT_EQ(got, expected);

    // Detected from all the names together.
    got.clear();
    archive::names_decoder detecting(0, visit);
    std::uint32_t index = 0;
    for (const std::string name : {"\x8F\xE0\xA8\xA2\xA5\xE2/\xAC\xA8\xE0.txt",
                                   "\x84\xAE\xAA\xE3\xAC\xA5\xAD\xE2\xEB/\x8E\xE2\xE7\xF1\xE2.txt"}) {
        // As the library hands it over: UTF-8 where it is, escapes elsewhere.
        detecting.add(decoded_name(name), index++);
    }
    const archive::names_outcome detected = detecting.finish();
    EXPECT_EQ(detected.code_page, 866u);
    EXPECT_TRUE(detected.detected);
    EXPECT_EQ(detected.detected_charset, "IBM866");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].first, "Привет/мир.txt");
    EXPECT_EQ(got[1].first, "Документы/Отчёт.txt");
    EXPECT_EQ(got[1].second, 1u);

    // Nothing to decode with: the names stay as the library gave them.
    got.clear();
    archive::names_decoder undecoded(0, visit);
    undecoded.add(escaped("bad{FF}.txt"), 0);
    undecoded.add(escaped("bad{FE}.txt"), 1);
    const archive::names_outcome none = undecoded.finish();
    EXPECT_FALSE(none.code_page);
    EXPECT_EQ(none.left_undecoded, 2u);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::uint32_t>>{{escaped("bad{FF}.txt"), 0},
                                                                      {escaped("bad{FE}.txt"), 1}}));
}
