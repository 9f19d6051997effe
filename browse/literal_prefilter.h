// A quick first look for a contents search: a literal that every line the
// pattern matches holds (the pattern itself, or a part that RE2's prefilter
// finds every match of a regular expression to need), looked for over many
// lines at once without regard to ASCII case, so that the pattern itself runs
// only on the lines that hold it. Letters are folded in ASCII only: a part of
// the literal that a non-ASCII character could stand for when folded (any
// non-ASCII byte, 'k' and 's', which the Kelvin sign and the long s fold to)
// is left out of it.
//
// Immutable once made; shared by the threads that search with its pattern.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace re2 {
class RE2;
}

namespace browse {

class literal_prefilter {
public:
    // Literals shorter than this would stop too often to be worth it.
    static constexpr std::size_t shortest = 3;

    // `needle` in lowercase ASCII, at least `shortest` bytes.
    explicit literal_prefilter(std::string needle);

    // Where the needle first is in text[from, end), in any ASCII case; npos when nowhere.
    std::size_t find(std::string_view text, std::size_t from) const;

    const std::string& needle() const { return needle_; }

private:
    bool holds_needle_at(const char* at) const;

    std::string needle_;
    unsigned char first_fold_ = 0, last_fold_ = 0;  // 0x20 where that end of the needle is a letter
};

// The prefilter for `compiled`: the longest literal that its every match
// needs; nothing when it needs none worth looking for.
std::optional<literal_prefilter> prefilter_for(const re2::RE2& compiled);

}  // namespace browse
