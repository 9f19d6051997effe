// The head of an item's reply for what a request asks: 200 with the whole item,
// 206 with the range it asks for, or 416 when that range holds no byte; and
// the reply of an item that failed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/item_sink.h"
#include "http/byte_range.h"
#include "http/header.h"
#include "http/reply.h"
#include "platform/file_watch.h"

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
    // The item's path as the request named it (under the archive's root), for
    // the failure's console line and reply.
    std::string item_path;
    // The archive file's watch: a reply whose archive changed on disk while it
    // was made sends neither its head nor its last bytes. None: not watched.
    const platform::file_watch* watch = nullptr;
};

struct item_head {
    http::reply head;       // a 416 comes with its page as the content
    http::byte_span span;   // the item's bytes that make the body
    std::uint64_t body_length = 0;
    bool satisfiable = true;
};

item_head make_item_head(std::uint64_t size, const item_request& request);

// The whole reply of an item whose bytes are at hand, served from them without a copy.
http::reply whole_item_reply(std::shared_ptr<const std::string> bytes, const item_request& request);

// The reply of an item that could not be extracted: 401 for one that wants a
// password (a plain text that says why, and no challenge, so that browsers ask
// nothing of their own), 409 when the archive changed on disk, else 500 with
// a sentence that names the item at `item_path` and the cause.
http::reply item_failure_reply(archive::item_status status, std::string_view item_path = {});

// Why an item could not be extracted, as the end of a sentence: "its data is
// damaged (Data Error)".
std::string item_failure_cause(archive::item_status status);

// The 409 of every request for the archive's contents once its file changed on disk.
http::reply archive_changed_reply();

}  // namespace browse
