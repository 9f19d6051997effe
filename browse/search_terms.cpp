// Reading a search's parameters and matching names against globs.
#include "browse/search_terms.h"

#include <charconv>

#include "http/query_string.h"

namespace browse {
namespace {

bool flag(const std::string& value)
{
    return value == "1" || value == "true";
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool glob_matches(std::string_view glob, std::string_view name)
{
    // The classic walk: on a mismatch, the last '*' takes one more byte.
    std::size_t g = 0, n = 0, star = std::string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (g < glob.size() && (glob[g] == '?' || lower(glob[g]) == lower(name[n]))) {
            ++g, ++n;
        } else if (g < glob.size() && glob[g] == '*') {
            star = g++;
            star_n = n;
        } else if (star != std::string_view::npos) {
            g = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}

}  // namespace

bool asks_for_search(std::string_view query)
{
    const std::optional<std::vector<http::query_parameter>> parameters = http::parse_query(query);
    if (!parameters)
        return query.substr(0, 7) == "search=" || query.find("&search=") != std::string_view::npos;
    for (const http::query_parameter& parameter : *parameters)
        if (parameter.first == "search")
            return true;
    return false;
}

std::optional<search_terms> read_search_terms(std::string_view query, std::string& reason)
{
    const std::optional<std::vector<http::query_parameter>> parameters = http::parse_query(query);
    if (!parameters) {
        reason = "The query holds a malformed escape.";
        return std::nullopt;
    }
    search_terms terms;
    for (const auto& [name, value] : *parameters) {
        if (name == "search") {
            terms.pattern = value;
        } else if (name == "regex") {
            terms.options.regex = flag(value);
        } else if (name == "case") {
            terms.options.case_sensitive = flag(value);
        } else if (name == "in") {
            terms.folder = value;
        } else if (name == "names") {
            for (std::size_t start = 0; start <= value.size();) {
                const std::size_t comma = std::min(value.find(',', start), value.size());
                if (comma > start)
                    terms.name_globs.push_back(value.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (name == "binary") {
            terms.binary = flag(value);
        } else if (name == "max") {
            std::uint64_t lines = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), lines);
            if (error != std::errc() || end != value.data() + value.size() || lines == 0 ||
                lines > search_terms::most_lines) {
                reason = "max must be a number of lines from 1 to 1000000.";
                return std::nullopt;
            }
            terms.max_lines = lines;
        }
    }
    return terms;
}

bool name_matches(const std::vector<std::string>& globs, std::string_view name)
{
    if (globs.empty())
        return true;
    for (const std::string& glob : globs)
        if (glob_matches(glob, name))
            return true;
    return false;
}

}  // namespace browse
