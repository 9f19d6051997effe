// Reading and resolving the "Range" header.
#include "http/byte_range.h"

#include <charconv>

#include "http/header_values.h"

namespace http {
namespace {

// Digits only, no sign or space, that fit in 64 bits.
std::optional<std::uint64_t> number(std::string_view text)
{
    std::uint64_t value = 0;
    if (text.empty())
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<range_request> parse(std::string_view value)
{
    value = trim(value);
    constexpr std::string_view unit = "bytes=";
    if (value.size() < unit.size() || !equals_ignoring_case(value.substr(0, unit.size()), unit))
        return std::nullopt;
    const std::string_view positions = trim(value.substr(unit.size()));
    const std::size_t dash = positions.find('-');
    if (dash == std::string_view::npos || positions.find(',') != std::string_view::npos)
        return std::nullopt;
    const std::string_view before = trim(positions.substr(0, dash)), after = trim(positions.substr(dash + 1));
    range_request range;
    if (before.empty()) {
        range.last = number(after);
        if (!range.last)
            return std::nullopt;
        return range;
    }
    range.first = number(before);
    if (!range.first)
        return std::nullopt;
    if (!after.empty()) {
        range.last = number(after);
        if (!range.last || *range.last < *range.first)
            return std::nullopt;
    }
    return range;
}

}  // namespace

std::optional<range_request> requested_range(const std::vector<header>& headers)
{
    const header* found = nullptr;
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, "Range"))
            continue;
        if (found)
            return std::nullopt;  // two headers: as good as several ranges
        found = &h;
    }
    return found ? parse(found->value) : std::nullopt;
}

std::optional<byte_span> resolve_range(const range_request& range, std::uint64_t size)
{
    if (!range.first) {  // the last N bytes
        if (*range.last == 0 || size == 0)
            return std::nullopt;
        const std::uint64_t length = *range.last < size ? *range.last : size;
        return byte_span{size - length, size - 1};
    }
    if (*range.first >= size)
        return std::nullopt;
    const std::uint64_t last = range.last && *range.last < size ? *range.last : size - 1;
    return byte_span{*range.first, last};
}

}  // namespace http
