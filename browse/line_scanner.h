// Finds the lines of one item that match a pattern, as the item's bytes pass by
// in pieces of any size: a line that spans two pieces is found all the same.
// Complete lines are searched where the pieces lie; only the unfinished line at
// a piece's end is copied; when the pattern has a prefilter (literal_prefilter.h),
// they are looked through for its literal first, and the pattern runs only on
// the lines that hold it, each alone. A line longer than longest_line is searched in
// windows of that size that overlap by line_overlap bytes, so that no item is
// ever held whole. An item whose first binary_probe bytes hold a NUL byte is
// binary: it is not searched unless binary items are.
//
// Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "browse/json_text.h"
#include "browse/text_pattern.h"

namespace browse {

// One matching line: its number (from 1), its text (the line without its end,
// or a window of at most text_window bytes around its first match), and the
// matches in that text.
struct line_hit {
    std::uint64_t line = 0;
    std::string text;
    std::vector<byte_range> ranges;
};

class line_scanner {
public:
    static constexpr std::size_t text_window = 512;
    static constexpr std::size_t binary_probe = 64 * 1024;
    static constexpr std::size_t longest_line = 1024 * 1024;
    static constexpr std::size_t line_overlap = 4096;
    static constexpr std::size_t most_ranges = 256;  // per line

    // `pattern` outlives the scanner.
    line_scanner(const text_pattern& pattern, bool search_binary) : pattern_(pattern), search_binary_(search_binary) {}

    // The next bytes of the item. Hits beyond `hit_limit` found so far are not looked for.
    void feed(const char* data, std::size_t size);

    // The item has ended: its last line, when it has no line end, is searched.
    void finish();

    // Whether the item is binary (a NUL in its first binary_probe bytes) and
    // whether that is known yet.
    bool binary() const { return binary_; }
    bool binary_known() const { return binary_ || seen_ >= binary_probe || finished_; }

    // The hits found since the last call, in line order.
    std::vector<line_hit> take_hits() { return std::move(hits_); }
    std::size_t hits_held() const { return hits_.size(); }

    // At most this many hits are held; once they are, nothing more is searched.
    void set_hit_limit(std::size_t limit) { hit_limit_ = limit; }

private:
    bool full() const { return hits_.size() >= hit_limit_; }
    void scan_lines(std::string_view text);
    void add_to_line(const char* data, std::size_t size);
    void end_line();
    void report(std::string_view line, std::uint64_t number);

    const text_pattern& pattern_;
    const bool search_binary_;
    std::uint64_t seen_ = 0;        // bytes fed
    bool binary_ = false;
    bool finished_ = false;
    std::uint64_t line_ = 1;        // the number of the line being read
    std::string unfinished_;        // its bytes so far (a window of them for a long line)
    bool line_reported_ = false;    // it matched already: its other bytes go by
    std::vector<line_hit> hits_;
    std::size_t hit_limit_ = SIZE_MAX;
};

}  // namespace browse
