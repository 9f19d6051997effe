// Case-blind names, trimmed values and the accepted content codings.
#include "http/header_values.h"

namespace http {
namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a coding's parameters ("q=0.5" and the like) give it weight zero.
bool weight_is_zero(std::string_view parameters)
{
    while (!parameters.empty()) {
        const std::size_t semicolon = parameters.find(';');
        const std::string_view parameter = trim(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view() : parameters.substr(semicolon + 1);
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

bool accepts_gzip(const std::vector<header>& headers)
{
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, "Accept-Encoding"))
            continue;
        std::string_view codings = h.value;
        while (!codings.empty()) {
            const std::size_t comma = codings.find(',');
            const std::string_view coding = codings.substr(0, comma);
            codings = comma == std::string_view::npos ? std::string_view() : codings.substr(comma + 1);
            const std::size_t semicolon = coding.find(';');
            if (equals_ignoring_case(trim(coding.substr(0, semicolon)), "gzip"))
                return semicolon == std::string_view::npos || !weight_is_zero(coding.substr(semicolon + 1));
        }
    }
    return false;
}

}  // namespace http
