// Fuzz target for the request parser: the input parsed in one piece and the
// same input parsed in small reads must agree on the outcome, the deciding
// position and every field, and the parser may never keep more than it read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/request_parser.h"

namespace {

using http::request;
using http::request_parser;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

int outcome_of(boost::tribool result)
{
    return result ? 1 : !result ? 0 : 2;
}

bool same_request(const request& a, const request& b)
{
    if (a.method != b.method || a.uri != b.uri || a.http_version_major != b.http_version_major ||
        a.http_version_minor != b.http_version_minor || a.headers.size() != b.headers.size())
        return false;
    for (std::size_t i = 0; i < a.headers.size(); ++i) {
        if (a.headers[i].name != b.headers[i].name || a.headers[i].value != b.headers[i].value)
            return false;
    }
    return true;
}

std::size_t kept_bytes(const request& req)
{
    std::size_t kept = req.method.size() + req.uri.size();
    for (const auto& h : req.headers)
        kept += h.name.size() + h.value.size();
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;

    request_parser whole_parser;
    request whole;
    const auto [whole_result, whole_stop] = whole_parser.parse(whole, begin, end);
    const int whole_outcome = outcome_of(whole_result);
    check(whole_stop > begin || size == 0);
    check(whole_stop <= end);
    check(whole_outcome != 2 || whole_stop == end);
    check(kept_bytes(whole) <= static_cast<std::size_t>(whole_stop - begin));

    // The same bytes in reads of a few bytes each, stopping at the decision.
    const std::size_t read_size = 1 + size % 13;
    request_parser pieces_parser;
    request pieces;
    int pieces_outcome = 2;
    const char* pieces_stop = end;
    for (const char* read = begin; read != end && pieces_outcome == 2;) {
        const char* read_end = read + std::min<std::size_t>(read_size, end - read);
        const auto [result, stop] = pieces_parser.parse(pieces, read, read_end);
        pieces_outcome = outcome_of(result);
        pieces_stop = stop;
        read = read_end;
    }
    check(pieces_outcome == whole_outcome);
    check(pieces_stop == whole_stop);
    check(same_request(pieces, whole));
    return 0;
}
