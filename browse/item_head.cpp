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

std::string item_failure_cause(archive::item_status status)
{
    using archive::item_status;
    switch (status) {
    case item_status::unsupported_method:
        return "its compression or encryption method is not one the installed 7-Zip library decodes (Unsupported Method)";
    case item_status::data_error: return "its data is damaged (Data Error)";
    case item_status::crc_error: return "its data does not match its checksum: the archive is damaged (CRC Failed)";
    case item_status::unavailable: return "its data is not in the archive, or in a volume that is missing (Unavailable Data)";
    case item_status::unexpected_end: return "the archive ends before its data does (Unexpected End)";
    case item_status::password_needed: return "it is encrypted and needs a password";
    case item_status::wrong_password: return "the password is wrong, or the encrypted item is damaged";
    case item_status::unknown_error: return "the 7-Zip library reported an error it does not name (Unknown Error)";
    case item_status::archive_changed: return "the archive changed on disk after it was opened";
    case item_status::aborted: return "its extraction was stopped";
    case item_status::failed:
    case item_status::ok: break;
    }
    return "the 7-Zip library could not extract it";
}

http::reply item_failure_reply(archive::item_status status, std::string_view item_path)
{
    if (status == archive::item_status::archive_changed)
        return archive_changed_reply();
    const bool needed = status == archive::item_status::password_needed;
    if (!needed && status != archive::item_status::wrong_password) {
        const std::string named = item_path.empty() ? "The item" : "The item " + std::string(item_path);
        return http::text_reply(http::internal_server_error,
                                named + " could not be extracted: " + item_failure_cause(status) + ".\n");
    }
    http::reply rep = http::text_reply(http::unauthorized,
                                       needed ? "This item is encrypted: it needs a password.\n"
                                              : "The password is wrong, or the encrypted item is damaged.\n");
    rep.headers.push_back({"Cache-Control", "no-store"});
    return rep;
}

http::reply archive_changed_reply()
{
    http::reply rep = http::text_reply(
        http::conflict, "The archive changed on disk after it was opened: its items are no longer what the page "
                        "lists. Start Vorsel again on it to see its new contents.\n");
    rep.headers.push_back({"Cache-Control", "no-store"});
    return rep;
}

}  // namespace browse
