// Guards, tags and headers that the routes share.
#include "browse/route_support.h"

#include <optional>

#include "http/header_values.h"
#include "http/mime_types.h"
#include "http/query_string.h"
#include "http/uri_decoding.h"

namespace browse {

http::reply ndjson_head()
{
    http::reply head;
    head.status = http::ok;
    head.headers = {{"Content-Type", "application/x-ndjson"},
                    {"Cache-Control", "no-store"},
                    {"X-Content-Type-Options", "nosniff"}};
    return head;
}

bool path_is_acceptable(const std::string& path)
{
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of("/\\", start);
        const std::size_t length = (end == std::string::npos ? path.size() : end) - start;
        if (path.compare(start, length, "..") == 0 && length == 2)
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

std::string extension_of(const std::string& path)
{
    std::size_t last_slash = path.find_last_of('/');
    std::size_t last_dot = path.find_last_of('.');
    if (last_dot == std::string::npos || (last_slash != std::string::npos && last_dot < last_slash))
        return {};
    return path.substr(last_dot + 1);
}

std::string hex(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value);
    return text;
}

std::string quoted(const std::string& tag)
{
    return "\"" + tag + "\"";
}

std::string archive_tag(const platform::file_identity& identity)
{
    return hex(identity.device) + "-" + hex(identity.inode) + "-" + hex(identity.size) + "-" +
           hex(static_cast<std::uint64_t>(identity.modified_ns));
}

bool answer_not_modified(const http::request& req, const std::string& etag, http::reply& rep)
{
    if (!http::none_match_holds(req.headers, etag))
        return false;
    rep = http::reply();
    rep.status = http::not_modified;
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
    return true;
}

bool password_of(const std::vector<http::header>& headers, item_password& password)
{
    for (const http::header& h : headers) {
        if (!http::equals_ignoring_case(h.name, "X-Archive-Password"))
            continue;
        if (password)
            return false;
        if (!http::decode_uri(http::trim(h.value), password.emplace()))
            return false;
    }
    return true;
}

http::reply listing_reply(const served_bytes& listing, const std::string& etag, bool compressed)
{
    http::reply rep;
    rep.status = http::ok;
    rep.shared_content = compressed ? listing.gzipped : listing.plain;
    rep.headers.push_back({"Content-Length", std::to_string(rep.shared_content->size())});
    rep.headers.push_back({"Content-Type", http::mime_type_for_extension("json")});
    if (compressed)
        rep.headers.push_back({"Content-Encoding", "gzip"});
    rep.headers.push_back({"Vary", "Accept-Encoding"});
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
    return rep;
}

bool query_asks(std::string_view query, std::string_view name)
{
    const std::optional<std::vector<http::query_parameter>> parameters = http::parse_query(query);
    if (!parameters)
        return false;
    for (const http::query_parameter& parameter : *parameters)
        if (parameter.first == name)
            return true;
    return false;
}

std::string item_path_of(const std::vector<std::string>& components)
{
    std::string path;
    for (std::size_t i = 1; i < components.size(); ++i) {
        if (i > 1)
            path += '/';
        path += components[i];
    }
    return path;
}

}  // namespace browse
