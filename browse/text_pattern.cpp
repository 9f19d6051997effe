// The pattern as RE2 compiles and matches it.
#include "browse/text_pattern.h"

#include <re2/re2.h>

namespace browse {
namespace {

// Lines are matched within a text of many lines: '^' and '$' at every line.
constexpr std::string_view multi_line = "(?m)";

}  // namespace

text_pattern::text_pattern(std::string_view pattern, pattern_options options)
{
    if (pattern.empty()) {
        error_ = "The pattern is empty.";
        return;
    }
    if (pattern.size() > longest) {
        error_ = "The pattern is longer than 1 KiB.";
        return;
    }
    RE2::Options settings;
    settings.set_log_errors(false);
    settings.set_literal(!options.regex);
    settings.set_case_sensitive(options.case_sensitive);
    const std::string source = options.regex ? std::string(multi_line) + std::string(pattern) : std::string(pattern);
    compiled_ = std::make_unique<RE2>(source, settings);
    if (compiled_->ok()) {
        prefilter_ = prefilter_for(*compiled_);
        return;
    }
    error_ = compiled_->error();
    // The reason quotes the pattern as it was given.
    if (const std::size_t at = error_.find(multi_line); at != std::string::npos)
        error_.erase(at, multi_line.size());
    compiled_.reset();
}

text_pattern::~text_pattern() = default;

bool text_pattern::find(std::string_view text, std::size_t from, std::size_t& start, std::size_t& end) const
{
    if (!compiled_ || from > text.size())
        return false;
    re2::StringPiece match;
    if (!compiled_->Match(re2::StringPiece(text.data(), text.size()), from, text.size(), RE2::UNANCHORED, &match, 1))
        return false;
    start = static_cast<std::size_t>(match.data() - text.data());
    end = start + match.size();
    return true;
}

}  // namespace browse
