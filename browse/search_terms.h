// The terms of a contents search as a request gives them in its query:
// search=PATTERN, and optionally regex=1, case=1, in=FOLDER, names=GLOB[,GLOB...],
// binary=1 and max=N.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browse/text_pattern.h"

namespace browse {

struct search_terms {
    static constexpr std::uint64_t default_lines = 10000;
    static constexpr std::uint64_t most_lines = 1000000;

    std::string pattern;
    pattern_options options;
    std::string folder;                   // only items under it (a path from the root); empty: all
    std::vector<std::string> name_globs;  // only items whose name matches one; empty: all
    bool binary = false;                  // also items that look binary
    std::uint64_t max_lines = default_lines;
};

// Whether the query asks for a search (it has a "search" parameter).
bool asks_for_search(std::string_view query);

// The terms of the query; nothing, with the reason in `reason`, when a
// parameter is malformed.
std::optional<search_terms> read_search_terms(std::string_view query, std::string& reason);

// Whether `name` matches one of the globs ('*' any bytes, '?' one byte; ASCII
// letters without regard to case); every name does when there are none.
bool name_matches(const std::vector<std::string>& globs, std::string_view name);

}  // namespace browse
