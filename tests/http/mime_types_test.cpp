#include "http/mime_types.h"

#include <gtest/gtest.h>

using http::mime_type_for_extension;

TEST(MimeTypes, CommonExtensionsInAnyCaseAndTextForTheRest)
{
    struct row {
        std::string_view extension;
        std::string_view expected;
    };
    const row table[] = {
        {"gif", "image/gif"},       {"htm", "text/html"},       {"html", "text/html"},
        {"jpg", "image/jpeg"},      {"png", "image/png"},       {"css", "text/css"},
        {"js", "text/javascript"},  {"mjs", "text/javascript"}, {"json", "application/json"},
        {"svg", "image/svg+xml"},   {"pdf", "application/pdf"}, {"webp", "image/webp"},
        {"avif", "image/avif"},     {"jpeg", "image/jpeg"},     {"bmp", "image/bmp"},
        {"ico", "image/vnd.microsoft.icon"}, {"tif", "image/tiff"}, {"tiff", "image/tiff"},
        {"mp4", "video/mp4"},       {"m4v", "video/mp4"},       {"webm", "video/webm"},
        {"ogv", "video/ogg"},       {"mov", "video/quicktime"}, {"mp3", "audio/mpeg"},
        {"m4a", "audio/mp4"},       {"ogg", "audio/ogg"},       {"oga", "audio/ogg"},
        {"opus", "audio/ogg"},      {"wav", "audio/wav"},       {"flac", "audio/flac"},
        {"woff", "font/woff"},      {"woff2", "font/woff2"},    {"ttf", "font/ttf"},
        {"otf", "font/otf"},        {"wasm", "application/wasm"}, {"xml", "application/xml"},
        {"csv", "text/csv"},        {"md", "text/markdown"},    {"txt", "text/plain"},
        // Programs, disk images and archives are bytes.
        {"exe", "application/octet-stream"}, {"dll", "application/octet-stream"}, {"so", "application/octet-stream"},
        {"o", "application/octet-stream"},   {"a", "application/octet-stream"},   {"bin", "application/octet-stream"},
        {"img", "application/octet-stream"}, {"iso", "application/octet-stream"}, {"zip", "application/octet-stream"},
        {"7z", "application/octet-stream"},  {"rar", "application/octet-stream"}, {"gz", "application/octet-stream"},
        {"xz", "application/octet-stream"},  {"bz2", "application/octet-stream"}, {"zst", "application/octet-stream"},
        {"tar", "application/octet-stream"}, {"deb", "application/octet-stream"}, {"rpm", "application/octet-stream"},
        {"cab", "application/octet-stream"}, {"jar", "application/octet-stream"}, {"apk", "application/octet-stream"},
        {"whl", "application/octet-stream"},
        // Any letter case; no trimming, no dot stripping, nothing else known.
        {"JPG", "image/jpeg"},
        {"Png", "image/png"},
        {"WebM", "video/webm"},
        {"", "text/plain"},
        {".png", "text/plain"},
        {"png ", "text/plain"},
        {"htmlx", "text/plain"},
        {"ht", "text/plain"},
        {"EXE", "application/octet-stream"},
        {std::string_view("png\0", 4), "text/plain"},
    };
    for (const row& r : table)
        EXPECT_EQ(mime_type_for_extension(r.extension), r.expected) << testing::PrintToString(std::string(r.extension));
}
