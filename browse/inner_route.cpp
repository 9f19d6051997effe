// Serving the listings and items of archives inside the archive.
#include "browse/inner_route.h"

#include "browse/item_route.h"
#include "browse/route_support.h"
#include "browse/streamed_item.h"
#include "http/header_values.h"

namespace browse {

std::string chain_text(const item_chain& chain)
{
    std::string text;
    for (const std::uint32_t index : chain) {
        if (!text.empty())
            text += '.';
        text += std::to_string(index);
    }
    return text;
}

http::reply inner_failure_reply(const inner_place& place, request_log& log)
{
    const inner_failure failure = place.failure;
    if (failure == inner_failure::not_found)
        return http::canned_reply(http::not_found);
    if (failure == inner_failure::password_needed)
        return item_failure_reply(archive::item_status::password_needed);
    if (failure == inner_failure::wrong_password)
        return item_failure_reply(archive::item_status::wrong_password);
    log.inner_archive_failed(place.failed_item, place.cause);
    return http::text_reply(http::internal_server_error, "The archive inside the archive, " + place.failed_item +
                                                             ", cannot be opened: " + place.cause + ".\n");
}

bool inner_route::claims(const route_request& request) const
{
    return request.components.size() > 1 && request.components[0] == root_name && request.query == "list";
}

void inner_route::serve(const route_request& request, http::reply& rep)
{
    const std::vector<std::string>& components = request.components;
    const path_end end = follow_path(context_.tree, components, 1);
    if (!context_.inner || !end.node || !end.node->holds_item() || !end.node->children().empty()) {
        rep = http::canned_reply(http::not_found);
        return;
    }
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    const bool compressed = http::accepts_gzip(request.http.headers);
    context_.inner->locate(
        *end.node, {components.begin() + static_cast<std::ptrdiff_t>(end.used), components.end()}, true, password,
        [this, waiting, req = request.http, compressed, head_only = request.head_only](inner_place place) {
            if (place.failure != inner_failure::none) {
                waiting->complete(inner_failure_reply(place, context_.log));
                return;
            }
            const std::string etag = quoted(context_.content.tag + "-inner-" + chain_text(place.chain) +
                                            (compressed ? "-names-gzip" : "-names"));
            http::reply listing;
            if (!answer_not_modified(req, etag, listing)) {
                listing = listing_reply(place.archive->names, etag, compressed);
                if (head_only)
                    listing.shared_content.reset();
            }
            waiting->complete(std::move(listing));
        });
}

void inner_route::serve_item(const route_request& request, http::reply& rep)
{
    const std::vector<std::string>& components = request.components;
    const path_end end = follow_path(context_.tree, components, 1);
    if (!context_.inner || !end.node || end.used == components.size()) {
        rep = http::canned_reply(http::not_found);
        return;
    }
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    context_.inner->locate(
        *end.node, {components.begin() + static_cast<std::ptrdiff_t>(end.used), components.end()}, false, password,
        [this, waiting, req = request.http, name = components.back(), head_only = request.head_only, password,
         path = item_path_of(components)](inner_place place) {
            if (place.failure == inner_failure::none && !place.node->holds_item())
                place.failure = inner_failure::not_found;  // a folder made on the way to items
            if (place.failure != inner_failure::none) {
                waiting->complete(inner_failure_reply(place, context_.log));
                return;
            }
            const std::uint32_t index = place.node->item_index();
            const std::string etag =
                quoted(context_.content.tag + "-inner-" + chain_text(place.chain) + "-" + std::to_string(index));
            http::reply unchanged;
            if (answer_not_modified(req, etag, unchanged)) {
                waiting->complete(std::move(unchanged));
                return;
            }
            item_request terms = item_terms(context_, req, name, head_only, etag);
            terms.item_path = path;
            auto item = std::make_shared<streamed_item>(std::move(terms), context_.log);
            waiting->forward(item);
            context_.inner->extract(*place.archive, index, *item, password);
        });
}

void open_whole_inner_archive(route_context& context, const route_request& request, http::reply& rep,
                              inner_start start)
{
    const path_end end = follow_path(context.tree, request.components, 1);
    if (!context.inner || !end.node || !end.node->holds_item() || !end.node->children().empty()) {
        rep = http::canned_reply(http::not_found);
        return;
    }
    // The callers answered a malformed password header already.
    item_password password;
    (void)password_of(request.http.headers, password);
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    std::vector<std::string> inside(request.components.begin() + static_cast<std::ptrdiff_t>(end.used),
                                    request.components.end());
    context.inner->locate(*end.node, std::move(inside), true, password,
                          [waiting, &log = context.log, start = std::move(start)](inner_place place) mutable {
                              if (place.failure == inner_failure::none &&
                                  place.node != &place.archive->tree->root())
                                  place.failure = inner_failure::not_found;  // a folder inside, not an archive
                              if (place.failure != inner_failure::none) {
                                  waiting->complete(inner_failure_reply(place, log));
                                  return;
                              }
                              start(place, waiting);
                          });
}

}  // namespace browse
