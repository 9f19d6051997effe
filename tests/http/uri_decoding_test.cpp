#include "http/uri_decoding.h"

#include <gtest/gtest.h>

#include <optional>

using http::decode_uri;

TEST(DecodeUri, EscapesPlusAndMalformedTargets)
{
    struct row {
        std::string_view in;
        std::optional<std::string> out;  // nothing: malformed
    };
    const row table[] = {
        {"", ""},
        {"/index.html", "/index.html"},
        {"/Archive%43ontent", "/ArchiveContent"},
        {"%41", "A"},
        {"%4a%4A", "JJ"},
        {"%4g", std::string("\x04", 1)},      // the first digit alone, both bytes consumed
        {"%0g", std::string("\0", 1)},
        {"%1x", std::string("\x01", 1)},
        {"% 1", std::string("\x01", 1)},      // leading white space, as stream input skips it
        {"%\t9", std::string("\x09", 1)},
        {"%+1", std::string("\x01", 1)},
        {"%-1", std::string("\xff", 1)},
        {"%ff%FF", "\xff\xff"},
        {"/a+b.html", "/a+b.html"},         // a plus in a path is a plus
        {"/c++.cc", "/c++.cc"},
        {"/File+1%20x.txt", "/File+1 x.txt"},
        {"%2B", "+"},
        {"%2e%2e", ".."},
        {"%g1", std::nullopt},
        {"%0x", std::nullopt},
        {"%0X", std::nullopt},
        {"%--", std::nullopt},
        {"% g", std::nullopt},
        {"%", std::nullopt},
        {"/a%4", std::nullopt},
        {"/%zz", std::nullopt},
        {"ab%", std::nullopt},
    };
    for (const row& r : table) {
        std::string out = "junk";
        bool decoded = decode_uri(r.in, out);
        EXPECT_EQ(decoded, r.out.has_value()) << r.in;
        if (decoded && r.out) {
            EXPECT_EQ(out, *r.out) << r.in;
        }
    }
}
