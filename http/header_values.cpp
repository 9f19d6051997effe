// Case-blind names, trimmed values and the accepted content codings.
#include "http/header_values.h"

#include "http/uri_encoding.h"

#include <functional>
#include <optional>

namespace http {
namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Takes the first element of a list separated by `separator` off `list`.
std::string_view take_element(std::string_view& list, char separator)
{
    const std::size_t end = list.find(separator);
    const std::string_view element = trim(list.substr(0, end));
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    return element;
}

// Whether a coding's parameters ("q=0.5" and the like) give it weight zero.
bool weight_is_zero(std::string_view parameters)
{
    while (!parameters.empty()) {
        const std::string_view parameter = take_element(parameters, ';');
        if (parameter.size() < 2 || lower(parameter[0]) != 'q' || parameter[1] != '=')
            continue;
        for (char c : parameter.substr(2))
            if (c != '0' && c != '.')
                return false;
        return true;
    }
    return false;
}

}  // namespace

bool equals_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

namespace {

// The first element of the comma-separated lists of the headers named `name`
// for which `matches` holds, or nothing.
std::optional<std::string_view> find_list_element(const std::vector<header>& headers, std::string_view name,
                                                  const std::function<bool(std::string_view)>& matches)
{
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, name))
            continue;
        std::string_view elements = h.value;
        while (!elements.empty()) {
            const std::string_view element = take_element(elements, ',');
            if (matches(element))
                return element;
        }
    }
    return std::nullopt;
}

}  // namespace

bool accepts_gzip(const std::vector<header>& headers)
{
    std::optional<std::string_view> gzip = find_list_element(headers, "Accept-Encoding", [](std::string_view coding) {
        return equals_ignoring_case(take_element(coding, ';'), "gzip");
    });
    if (!gzip)
        return false;
    take_element(*gzip, ';');
    return !weight_is_zero(*gzip);
}

bool none_match_holds(const std::vector<header>& headers, std::string_view etag)
{
    return find_list_element(headers, "If-None-Match", [etag](std::string_view tag) {
               if (tag.substr(0, 2) == "W/")
                   tag.remove_prefix(2);
               return tag == "*" || tag == etag;
           }).has_value();
}

namespace {

std::string disposition(std::string_view kind, std::string_view file_name)
{
    // The attribute characters of an extended parameter value stay plain.
    return std::string(kind) + "; filename*=UTF-8''" + percent_encode(file_name, "!#$&+-.^_`|~");
}

}  // namespace

std::string inline_disposition(std::string_view file_name)
{
    return disposition("inline", file_name);
}

std::string attachment_disposition(std::string_view file_name)
{
    return disposition("attachment", file_name);
}

}  // namespace http
