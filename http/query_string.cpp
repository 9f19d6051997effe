// Splitting and decoding a query string.
#include "http/query_string.h"

#include <algorithm>

#include "http/uri_decoding.h"

namespace http {
namespace {

bool decode_form(std::string_view text, std::string& out)
{
    std::string spaced(text);
    std::replace(spaced.begin(), spaced.end(), '+', ' ');
    return decode_uri(spaced, out);
}

}  // namespace

std::optional<std::vector<query_parameter>> parse_query(std::string_view query)
{
    std::vector<query_parameter> parameters;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view part = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (part.empty())
            continue;
        const std::size_t equals = part.find('=');
        query_parameter parameter;
        if (!decode_form(part.substr(0, equals), parameter.first))
            return std::nullopt;
        if (equals != std::string_view::npos && !decode_form(part.substr(equals + 1), parameter.second))
            return std::nullopt;
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

}  // namespace http
