// Status and headers of an item's reply.
#include "browse/item_head.h"

namespace browse {

item_head make_item_head(std::uint64_t size, const item_request& request)
{
    item_head result;
    result.head.status = http::ok;
    result.span = {0, size == 0 ? 0 : size - 1};
    result.body_length = size;
    if (request.range) {
        const std::optional<http::byte_span> span = http::resolve_range(*request.range, size);
        if (!span) {
            result.head = http::canned_reply(http::range_not_satisfiable);
            result.head.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
            result.head.headers.insert(result.head.headers.end(), request.headers.begin(), request.headers.end());
            result.body_length = 0;
            result.satisfiable = false;
            return result;
        }
        result.span = *span;
        result.body_length = span->length();
        result.head.status = http::partial_content;
    }
    std::vector<http::header>& headers = result.head.headers;
    headers.push_back({"Content-Length", std::to_string(result.body_length)});
    headers.push_back({"Content-Type", request.content_type});
    headers.push_back({"Accept-Ranges", "bytes"});
    headers.insert(headers.end(), request.headers.begin(), request.headers.end());
    if (request.range)
        headers.push_back({"Content-Range", "bytes " + std::to_string(result.span.first) + "-" +
                                                std::to_string(result.span.last) + "/" + std::to_string(size)});
    return result;
}

http::reply whole_item_reply(std::shared_ptr<const std::string> bytes, const item_request& request)
{
    item_head prepared = make_item_head(bytes->size(), request);
    http::reply rep = std::move(prepared.head);
    if (prepared.satisfiable) {
        rep.shared_offset = static_cast<std::size_t>(prepared.span.first);
        rep.shared_length = static_cast<std::size_t>(prepared.body_length);
        rep.shared_content = std::move(bytes);
    }
    return rep;
}

http::reply item_failure_reply(archive::item_status status)
{
    const bool needed = status == archive::item_status::password_needed;
    if (!needed && status != archive::item_status::wrong_password)
        return http::canned_reply(http::internal_server_error);
    http::reply rep = http::text_reply(http::unauthorized,
                                       needed ? "This item is encrypted: it needs a password.\n"
                                              : "The password is wrong, or the encrypted item is damaged.\n");
    rep.headers.push_back({"Cache-Control", "no-store"});
    return rep;
}

}  // namespace browse
