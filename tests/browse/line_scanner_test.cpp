// The line scanner against one whole-text reference: the same text fed in
// pieces of every small size finds the same lines, so no line or match is lost
// or doubled where pieces meet; long lines, windows and binary items; the
// literal prefilter, its needles and the lines found through it.
#include "browse/line_scanner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using browse::line_hit;
using browse::line_scanner;
using browse::text_pattern;

namespace {

std::vector<line_hit> scan(const text_pattern& pattern, const std::string& text, std::size_t piece,
                           bool binary = false)
{
    line_scanner scanner(pattern, binary);
    std::vector<line_hit> hits;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        scanner.feed(text.data() + at, std::min(piece, text.size() - at));
        for (line_hit& hit : scanner.take_hits())
            hits.push_back(std::move(hit));
    }
    scanner.finish();
    for (line_hit& hit : scanner.take_hits())
        hits.push_back(std::move(hit));
    if (scanner.binary())
        hits.clear();
    return hits;
}

std::string describe(const std::vector<line_hit>& hits)
{
    std::string text;
    for (const line_hit& hit : hits) {
        text.append(std::to_string(hit.line)).append(":").append(hit.text).append(":");
        for (const auto& [start, end] : hit.ranges)
            text.append("[").append(std::to_string(start)).append(",").append(std::to_string(end)).append(")");
        text.append("\n");
    }
    return text;
}

}  // namespace

TEST(LineScanner, PiecesOfEverySizeFindWhatTheWholeTextFinds)
{
    struct row {
        std::string pattern;
        bool regex;
        bool case_sensitive;
        std::string expected;  // for the text below, fed whole
    };
    const std::string text = "int a; // TODO\nno\n\ntodo: Todo TODO\nmalloc (1) and malloc(2)\nmalloc\n(3)\nend TODO";
    const row table[] = {
        {"TODO", false, true, "1:int a; // TODO:[10,14)\n4:todo: Todo TODO:[11,15)\n8:end TODO:[4,8)\n"},
        {"todo", false, false,
         "1:int a; // TODO:[10,14)\n4:todo: Todo TODO:[0,4)[6,10)[11,15)\n8:end TODO:[4,8)\n"},
        {R"(\bmalloc\s*\()", true, true, "5:malloc (1) and malloc(2):[0,8)[15,22)\n"},  // not across lines 6 and 7
        {"^$", true, true, "3::[0,0)\n"},
        {"^no$|^end", true, true, "2:no:[0,2)\n8:end TODO:[0,3)\n"},
        {"O\nn", false, true, ""},  // a literal line end matches no line
    };
    for (const row& r : table) {
        const text_pattern pattern(r.pattern, {r.regex, r.case_sensitive});
        ASSERT_EQ(pattern.error(), "") << r.pattern;
        EXPECT_EQ(describe(scan(pattern, text, text.size())), r.expected) << r.pattern;
        for (std::size_t piece = 1; piece <= 20; ++piece)
            EXPECT_EQ(describe(scan(pattern, text, piece)), r.expected) << r.pattern << " in pieces of " << piece;
    }
}

TEST(LineScanner, LongLinesGiveAWindowAroundTheFirstMatchAndAreNeverHeldWhole)
{
    const text_pattern pattern("needle", {false, true});
    std::string line(3000, 'x');
    line.replace(2000, 6, "needle");
    line.replace(2600, 6, "needle");
    for (const std::size_t piece : {std::size_t{1}, std::size_t{100}, std::size_t{4096}}) {
        const std::vector<line_hit> hits = scan(pattern, "a\n" + line + "\nb", piece);
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].line, 2u);
        EXPECT_LE(hits[0].text.size(), line_scanner::text_window);
        ASSERT_FALSE(hits[0].ranges.empty());
        EXPECT_EQ(hits[0].text.substr(hits[0].ranges[0].first, 6), "needle");
    }
    // A line of many MiB: found past the first window, and the next line counted.
    std::string huge(3 * line_scanner::longest_line, 'y');
    huge.replace(huge.size() - 100, 6, "needle");
    const std::vector<line_hit> hits = scan(pattern, huge + "\nneedle\n", 65536);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].line, 1u);
    EXPECT_EQ(hits[1].line, 2u);
}

TEST(LineScanner, ANulInTheFirst64KiBMakesAnItemBinary)
{
    const text_pattern pattern("word", {false, false});
    const std::string early = "word\n" + std::string(1, '\0') + "word\n";
    std::string late = std::string(line_scanner::binary_probe, 'a') + "\n";
    late += std::string(1, '\0') + "word\n";
    EXPECT_TRUE(scan(pattern, early, 3).empty()) << "binary: skipped";
    EXPECT_EQ(scan(pattern, early, 3, true).size(), 2u) << "binary items searched on request";
    EXPECT_EQ(scan(pattern, late, 1000).size(), 1u) << "a NUL past the probe does not count";
}

TEST(LineScanner, PatternsThatRE2RefusesOrThatAreTooLongSayWhy)
{
    EXPECT_NE(text_pattern("(a", {true, false}).error().find("missing )"), std::string::npos);
    EXPECT_EQ(text_pattern("(a", {false, false}).error(), "") << "a literal parenthesis";
    EXPECT_NE(text_pattern(std::string(1025, 'a'), {false, false}).error(), "");
    EXPECT_EQ(text_pattern(std::string(1024, 'a'), {false, false}).error(), "");
    EXPECT_NE(text_pattern("", {false, false}).error(), "");
}

TEST(LineScanner, TheLiteralPrefilterFindsItsNeedleInAnyAsciiCaseAtEveryPlace)
{
    // Every place in texts of every length up to 40, around the 16-byte steps
    // of the look, against a plain byte-by-byte look.
    const auto plain_find = [](std::string_view text, std::string_view needle, std::size_t from) {
        for (std::size_t at = from; at + needle.size() <= text.size(); ++at) {
            bool same = true;
            for (std::size_t i = 0; i < needle.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(text[at + i])) == needle[i];
            if (same)
                return at;
        }
        return std::string_view::npos;
    };
    struct row {
        std::string needle;
        std::string written;  // how a text writes it
    };
    const row table[] = {
        {"todo", "ToDo"},
        {"malloc", "MALLOC"},
        {"[x]", "[X]"},    // not a letter at either end: '{' and ']' differ from '[' and '}' by 0x20 only
        {"a@b", "A@b"},    // '@' and '`' likewise
    };
    for (const row& r : table) {
        const browse::literal_prefilter prefilter(r.needle);
        for (std::size_t length = 0; length <= 40; ++length) {
            for (std::size_t place = 0; place + r.written.size() <= length; ++place) {
                std::string text(length, '.');
                text.replace(place, r.written.size(), r.written);
                EXPECT_EQ(prefilter.find(text, 0), place) << r.needle << " in " << text;
                EXPECT_EQ(prefilter.find(text, place + 1), plain_find(text, r.needle, place + 1)) << text;
            }
            // Look-alikes: 0x20 away from the needle's bytes where they are not letters.
            std::string others(length, '{');
            for (std::size_t i = 0; i < length; ++i)
                others[i] = "{}`]@X"[i % 6];
            EXPECT_EQ(prefilter.find(others, 0), plain_find(others, r.needle, 0)) << r.needle << " in " << others;
        }
    }
}

TEST(LineScanner, APatternsPrefilterIsALiteralEveryMatchNeeds)
{
    struct row {
        std::string pattern;
        bool regex;
        bool case_sensitive;
        std::string needle;  // empty: no prefilter
    };
    const row table[] = {
        {"TODO", false, true, "todo"},
        {"todo", false, false, "todo"},
        {R"(\bmalloc\s*\()", true, true, "malloc"},
        {"foo.*quux", true, true, "quux"},     // the longer of two needed
        {"foo|bar", true, true, ""},            // either will do: neither is needed
        {"(abc)?", true, true, ""},
        {".*", true, false, ""},
        {"ab", false, true, ""},                // too short to be worth it
        {"(?i)kelvin", true, true, "elvin"},    // the Kelvin sign folds to k
        {"Class", false, false, "cla"},         // the long s folds to s
        {"caf\xC3\xA9 au lait", false, false, " au lait"},  // and no byte past ASCII
    };
    for (const row& r : table) {
        const text_pattern pattern(r.pattern, {r.regex, r.case_sensitive});
        ASSERT_EQ(pattern.error(), "") << r.pattern;
        EXPECT_EQ(pattern.prefilter() ? pattern.prefilter()->needle() : "", r.needle) << r.pattern;
    }
}

TEST(LineScanner, LinesFoundThroughThePrefilterAreThoseThatMatchAlone)
{
    // Lines with the needles in every case, in lines that match and in lines
    // that only hold them, in characters that fold to ASCII letters, across
    // the 16-byte steps and across the pieces; each line matched alone is the
    // reference.
    const std::vector<std::string> words = {
        "malloc(",      "malloc (n)",   "xmalloc(",        "MALLOC(",  "malloc",      "mallo",   "todo",
        "ToDo",         "TODO:",        "\xE2\x84\xAA" "elvin", "Kelvin", "cla\xC5\xBF\xC5\xBF", "CLASS", "class",
        "caf\xC3\xA9",  "CAF\xC3\x89",  "the",            "\t",       "----------------", "x"};
    std::string text;
    std::uint32_t seed = 7;
    for (int line = 0; line < 400; ++line) {
        const int count = static_cast<int>(seed % 7);
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += words[(seed >> 16) % words.size()];
            text += (seed >> 8) % 3 ? " " : "";
        }
        seed = seed * 1103515245u + 12345u;
        text += '\n';
    }
    struct row {
        std::string pattern;
        bool regex;
        bool case_sensitive;
    };
    const row table[] = {
        {R"(\bmalloc\s*\()", true, true}, {"MALLOC", false, false}, {"TODO", false, true}, {"todo", false, false},
        {"kelvin", false, false},         {"class", false, false},  {"CAF\xC3\x89", false, false},
        {"malloc\\b", true, false},       {"o\\s+c", true, true},
    };
    for (const row& r : table) {
        const text_pattern pattern(r.pattern, {r.regex, r.case_sensitive});
        ASSERT_EQ(pattern.error(), "") << r.pattern;
        std::vector<line_hit> expected;
        std::uint64_t number = 1;
        for (std::size_t at = 0; at < text.size(); ++number) {
            const std::size_t end = text.find('\n', at);
            const std::string line = text.substr(at, end - at);
            std::size_t start = 0, stop = 0;
            if (pattern.find(line, 0, start, stop))
                expected.push_back({number, line, {}});
            at = end + 1;
        }
        ASSERT_FALSE(expected.empty()) << r.pattern;
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{16},
                                        std::size_t{17}, std::size_t{100}, std::size_t{4096}, text.size()}) {
            const std::vector<line_hit> hits = scan(pattern, text, piece);
            ASSERT_EQ(hits.size(), expected.size()) << r.pattern << " in pieces of " << piece;
            for (std::size_t i = 0; i < hits.size(); ++i) {
                EXPECT_EQ(hits[i].line, expected[i].line) << r.pattern << " in pieces of " << piece;
                EXPECT_EQ(hits[i].text, expected[i].text) << r.pattern << " in pieces of " << piece;
            }
        }
    }
}
