// What a contents search looks for: a literal or a regular expression, with or
// without regard to case, compiled by RE2, whose matching time is linear in
// the text, so that no pattern can hold a worker for long. '^' and '$' match
// at the start and end of each line.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "browse/literal_prefilter.h"

namespace re2 {
class RE2;
}

namespace browse {

struct pattern_options {
    bool regex = false;           // else a literal
    bool case_sensitive = false;
};

class text_pattern {
public:
    static constexpr std::size_t longest = 1024;  // bytes of a pattern

    // Compiles `pattern`; a refused one has its reason in error().
    text_pattern(std::string_view pattern, pattern_options options);
    ~text_pattern();
    text_pattern(const text_pattern&) = delete;
    text_pattern& operator=(const text_pattern&) = delete;

    // Empty when the pattern compiled; else why not, as RE2 says it.
    const std::string& error() const { return error_; }

    // The leftmost match in text[from, end of text) as [start, end): false when
    // there is none. The bytes before `from` are context for '\b' and '^'.
    bool find(std::string_view text, std::size_t from, std::size_t& start, std::size_t& end) const;

    // A literal that every matching line holds, to look for first; null when
    // there is none worth looking for.
    const literal_prefilter* prefilter() const { return prefilter_ ? &*prefilter_ : nullptr; }

private:
    std::unique_ptr<re2::RE2> compiled_;
    std::optional<literal_prefilter> prefilter_;
    std::string error_;
};

}  // namespace browse
