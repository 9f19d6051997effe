// The head of an item's reply for what a request asks: 200 with the whole item,
// 206 with the range it asks for, or 416 when that range holds no byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/byte_range.h"
#include "http/header.h"
#include "http/reply.h"

namespace browse {

// What a request asks of an item.
struct item_request {
    std::optional<http::range_request> range;
    std::string content_type;
    bool head_only = false;  // the head alone: nothing is extracted when the size is known
    // An item of unknown size collected past this many bytes fails.
    std::uint64_t collect_budget = UINT64_MAX;
    // Sent with the head of every reply of content (200, 206, 416).
    std::vector<http::header> headers;
};

struct item_head {
    http::reply head;       // a 416 comes with its page as the content
    http::byte_span span;   // the item's bytes that make the body
    std::uint64_t body_length = 0;
    bool satisfiable = true;
};

item_head make_item_head(std::uint64_t size, const item_request& request);

}  // namespace browse
