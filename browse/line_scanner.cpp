// Matching lines across the pieces of an item.
#include "browse/line_scanner.h"

#include <algorithm>
#include <cstring>

namespace browse {
namespace {

bool is_continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

std::uint64_t line_ends_in(std::string_view text)
{
    return static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

void line_scanner::feed(const char* data, std::size_t size)
{
    if (!binary_known() && !search_binary_) {
        const std::size_t probed = static_cast<std::size_t>(std::min<std::uint64_t>(size, binary_probe - seen_));
        binary_ = std::memchr(data, '\0', probed) != nullptr;
        if (binary_)
            hits_.clear();
    }
    seen_ += size;
    if (binary_ || full() || size == 0)
        return;
    std::size_t at = 0;
    if (!unfinished_.empty() || line_reported_) {
        const char* line_end = static_cast<const char*>(std::memchr(data, '\n', size));
        const std::size_t upto = line_end ? static_cast<std::size_t>(line_end - data) : size;
        add_to_line(data, upto);
        if (!line_end)
            return;
        end_line();
        at = upto + 1;
    }
    const std::size_t last_end = std::string_view(data, size).rfind('\n');
    if (last_end != std::string_view::npos && last_end >= at) {
        const std::size_t end = last_end;
        scan_lines(std::string_view(data + at, end - at));
        at = end + 1;
    }
    add_to_line(data + at, size - at);
}

void line_scanner::finish()
{
    finished_ = true;
    if (binary_ || full())
        return;
    if (!unfinished_.empty() && !line_reported_) {
        std::size_t start, end;
        if (pattern_.find(unfinished_, 0, start, end))
            report(unfinished_, line_);
    }
    unfinished_.clear();
}

void line_scanner::scan_lines(std::string_view text)
{
    // `text` holds whole lines: its last one ends where it does.
    const literal_prefilter* const prefilter = pattern_.prefilter();
    std::size_t at = 0;
    std::size_t counted = 0;  // lines are counted up to here
    while (at <= text.size() && !full()) {
        // Where the next match may be: the pattern's next match, or the next
        // place of the prefilter's literal.
        std::size_t start = 0, end = 0, lead = text.npos;
        if (prefilter)
            lead = prefilter->find(text, at);
        else if (pattern_.find(text, at, start, end))
            lead = start;
        if (lead == text.npos)
            break;
        const std::size_t before = lead > at ? text.rfind('\n', lead - 1) : std::string_view::npos;
        const std::size_t line_start = before != std::string_view::npos && before >= at ? before + 1 : at;
        const void* after = std::memchr(text.data() + lead, '\n', text.size() - lead);
        const std::size_t line_end =
            after ? static_cast<std::size_t>(static_cast<const char*>(after) - text.data()) : text.size();
        const std::string_view line = text.substr(line_start, line_end - line_start);
        // A match that runs on past its line's end, or a line that only holds
        // the literal: the line is matched alone.
        if ((!prefilter && end <= line_end) || pattern_.find(line, 0, start, end)) {
            line_ += line_ends_in(text.substr(counted, line_start - counted));
            counted = line_start;
            report(line, line_);
        }
        at = line_end + 1;
    }
    line_ += line_ends_in(text.substr(counted)) + 1;
}

void line_scanner::add_to_line(const char* data, std::size_t size)
{
    while (!line_reported_ && size > 0) {
        const std::size_t room = longest_line - unfinished_.size();
        const std::size_t taken = std::min(room, size);
        unfinished_.append(data, taken);
        data += taken;
        size -= taken;
        if (unfinished_.size() < longest_line)
            return;
        // A line too long to hold: what is held is searched now, and only its
        // end is kept, for a match that goes on into what follows.
        std::size_t start, end;
        if (pattern_.find(unfinished_, 0, start, end)) {
            report(unfinished_, line_);
            line_reported_ = true;
            unfinished_.clear();
            return;
        }
        unfinished_.erase(0, unfinished_.size() - line_overlap);
    }
}

void line_scanner::end_line()
{
    if (!line_reported_ && !full()) {
        std::size_t start, end;
        if (pattern_.find(unfinished_, 0, start, end))
            report(unfinished_, line_);
    }
    unfinished_.clear();
    line_reported_ = false;
    ++line_;
}

void line_scanner::report(std::string_view line, std::uint64_t number)
{
    std::vector<byte_range> found;
    for (std::size_t at = 0, start, end; found.size() < most_ranges && pattern_.find(line, at, start, end);) {
        found.emplace_back(start, end);
        at = end > start ? end : start + 1;
    }
    if (found.empty())
        return;
    line_hit hit;
    hit.line = number;
    std::size_t first = 0, last = line.size();
    if (line.size() > text_window) {
        // A window around the first match, on character bounds.
        const std::size_t length = std::min(found[0].second - found[0].first, text_window);
        first = found[0].first - std::min(found[0].first, (text_window - length) / 2);
        last = std::min(line.size(), first + text_window);
        first = last - text_window;
        while (first < last && is_continuation(line[first]))
            ++first;
        while (last > first && last < line.size() && is_continuation(line[last]))
            --last;
    }
    hit.text = std::string(line.substr(first, last - first));
    for (const byte_range& range : found) {
        const bool overlaps = range.first < last && range.second > first;
        const bool empty_inside = range.first == range.second && range.first >= first && range.first <= last;
        if (!overlaps && !empty_inside)
            continue;
        hit.ranges.emplace_back(std::max(range.first, first) - first, std::min(range.second, last) - first);
    }
    hits_.push_back(std::move(hit));
}

}  // namespace browse
