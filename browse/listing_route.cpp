// Serving the names listing at once and the details listing once it is read.
#include "browse/listing_route.h"

#include "browse/route_support.h"
#include "http/header_values.h"

namespace browse {

bool listing_route::claims(const route_request& request) const
{
    return request.components.size() == 1 && request.components[0] == root_name;
}

std::string listing_route::etag(bool details, bool compressed) const
{
    return quoted(context_.content.tag + (details ? "-details" : "-names") + (compressed ? "-gzip" : ""));
}

void listing_route::serve(const route_request& request, http::reply& rep)
{
    archive_content& content = context_.content;
    if (!content.names.plain)
        content.names = build_names_listing(context_.tree);
    const bool details = request.query == "details";
    const bool compressed = http::accepts_gzip(request.http.headers);
    if (answer_not_modified(request.http, etag(details, compressed), rep))
        return;
    if (!details) {
        rep = listing_reply(content.names, etag(false, compressed), compressed);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    const served_bytes listing = context_.details.listing_or_wait({waiting, compressed, request.head_only});
    if (listing.plain) {
        rep = listing_reply(listing, etag(true, compressed), compressed);
        return;
    }
    rep.stream = std::move(waiting);
}

void listing_route::answer_waiting(std::vector<published_details::waiting_request> waiting)
{
    const served_bytes listing = context_.details.listing();
    for (published_details::waiting_request& request : waiting) {
        http::reply rep = listing_reply(listing, etag(true, request.compressed), request.compressed);
        if (request.head_only)
            rep.shared_content.reset();
        request.reply->complete(std::move(rep));
    }
}

}  // namespace browse
