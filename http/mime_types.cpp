// The extension table of the media types of what archives commonly hold and of
// the viewer's own files.
#include "http/mime_types.h"

#include <algorithm>

#include "http/header_values.h"

namespace http {
namespace {

struct mapping {
    std::string_view extension;
    std::string_view mime_type;
};

constexpr mapping mappings[] = {
    // Programs, disk images and archives are bytes, not text, whatever they hold.
    {"7z", "application/octet-stream"},
    {"a", "application/octet-stream"},
    {"aac", "audio/aac"},
    {"apk", "application/octet-stream"},
    {"avif", "image/avif"},
    {"bin", "application/octet-stream"},
    {"bmp", "image/bmp"},
    {"bz2", "application/octet-stream"},
    {"cab", "application/octet-stream"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"deb", "application/octet-stream"},
    {"dll", "application/octet-stream"},
    {"exe", "application/octet-stream"},
    {"flac", "audio/flac"},
    {"gif", "image/gif"},
    {"gz", "application/octet-stream"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ico", "image/vnd.microsoft.icon"},
    {"img", "application/octet-stream"},
    {"iso", "application/octet-stream"},
    {"jar", "application/octet-stream"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript"},
    {"json", "application/json"},
    {"m4a", "audio/mp4"},
    {"m4v", "video/mp4"},
    {"md", "text/markdown"},
    {"mjs", "text/javascript"},
    {"mkv", "video/x-matroska"},
    {"mov", "video/quicktime"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"o", "application/octet-stream"},
    {"oga", "audio/ogg"},
    {"ogg", "audio/ogg"},
    {"ogv", "video/ogg"},
    {"opus", "audio/ogg"},
    {"otf", "font/otf"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"rar", "application/octet-stream"},
    {"rpm", "application/octet-stream"},
    {"so", "application/octet-stream"},
    {"svg", "image/svg+xml"},
    {"tar", "application/octet-stream"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"ttf", "font/ttf"},
    {"txt", "text/plain"},
    {"wasm", "application/wasm"},
    {"wav", "audio/wav"},
    {"weba", "audio/webm"},
    {"webm", "video/webm"},
    {"webp", "image/webp"},
    {"whl", "application/octet-stream"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"xml", "application/xml"},
    {"xz", "application/octet-stream"},
    {"zip", "application/octet-stream"},
    {"zst", "application/octet-stream"},
};

constexpr std::string_view fallback = "text/plain";

}  // namespace

std::string mime_type_for_extension(std::string_view extension)
{
    const auto found = std::find_if(std::begin(mappings), std::end(mappings),
                                    [extension](const mapping& m) { return equals_ignoring_case(m.extension, extension); });
    return std::string(found == std::end(mappings) ? fallback : found->mime_type);
}

}  // namespace http
