#include "http/mime_types.h"

#include <gtest/gtest.h>

using http::mime_type_for_extension;

TEST(MimeTypes, ExactExtensionsOnly)
{
    struct row {
        std::string_view extension;
        std::string_view expected;
    };
    const row table[] = {
        {"gif", "image/gif"},
        {"htm", "text/html"},
        {"html", "text/html"},
        {"jpg", "image/jpeg"},
        {"png", "image/png"},
        // Case-sensitive, no trimming, no dot stripping, nothing else known.
        {"JPG", "text/plain"},
        {"Png", "text/plain"},
        {"GIF", "text/plain"},
        {"jpeg", "text/plain"},
        {"css", "text/plain"},
        {"js", "text/plain"},
        {"json", "text/plain"},
        {"", "text/plain"},
        {".png", "text/plain"},
        {"png ", "text/plain"},
        {"htmlx", "text/plain"},
        {"ht", "text/plain"},
        {std::string_view("png\0", 4), "text/plain"},
    };
    for (const row& r : table)
        EXPECT_EQ(mime_type_for_extension(r.extension), r.expected) << testing::PrintToString(std::string(r.extension));
}
