// The extension table of the media types that the viewer's pages need.
#include "http/mime_types.h"

namespace http {
namespace {

struct mapping {
    std::string_view extension;
    std::string_view mime_type;
};

constexpr mapping mappings[] = {
    {"gif", "image/gif"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"jpg", "image/jpeg"},
    {"png", "image/png"},
};

constexpr std::string_view fallback = "text/plain";

}  // namespace

std::string mime_type_for_extension(std::string_view extension)
{
    for (const mapping& m : mappings) {
        if (m.extension == extension)
            return std::string(m.mime_type);
    }
    return std::string(fallback);
}

}  // namespace http
