// Starting a search of the served archive or of one inside it.
#include "browse/search_route.h"

#include "browse/content_search.h"
#include "browse/route_support.h"
#include "browse/inner_route.h"
#include "browse/search_units.h"
#include "browse/worker_job.h"
#include "http/live_stream.h"

namespace browse {
namespace {

// What a search's client may hold unread before the search waits for it.
constexpr std::size_t unread_room = 1 << 20;

http::reply folder_missing()
{
    return http::text_reply(http::not_found, "The folder to search in is not in the archive.\n");
}

}  // namespace

bool search_route::claims(const route_request& request) const
{
    return !request.components.empty() && request.components[0] == root_name && asks_for_search(request.query);
}

void search_route::serve(const route_request& request, http::reply& rep)
{
    std::string reason;
    std::optional<search_terms> terms = read_search_terms(request.query, reason);
    if (!terms) {
        rep = http::text_reply(http::bad_request, reason + "\n");
        return;
    }
    auto pattern = std::make_shared<const text_pattern>(terms->pattern, terms->options);
    if (!pattern->error().empty()) {
        rep = http::text_reply(http::bad_request, pattern->error() + "\n");
        return;
    }
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    if (request.head_only) {
        rep = ndjson_head();
        return;
    }

    if (request.components.size() == 1) {
        std::optional<std::vector<search_item>> items = items_to_search(context_.tree, terms->folder, terms->name_globs);
        if (!items) {
            rep = folder_missing();
            return;
        }
        auto out = make_job_stream(ndjson_head(), unread_room);
        const bool no_password = !password && !context_.content.has_password;
        auto units = std::make_unique<served_archive_units>(items_, context_.details.facts(), no_password);
        workers_.start(std::make_shared<content_search>(std::move(*terms), std::move(pattern), std::move(*items),
                                                        std::move(units), out, std::move(password)));
        rep.stream = std::move(out);
        return;
    }

    // Inside an archive that an item holds: it is opened (on a worker) first.
    open_whole_inner_archive(
        context_, request, rep,
        [this, terms = std::move(*terms), pattern = std::move(pattern), password = std::move(password)](
            inner_place& place, const std::shared_ptr<pending_reply>& waiting) mutable {
            std::optional<std::vector<search_item>> items =
                items_to_search(*place.archive->tree, terms.folder, terms.name_globs);
            if (!items) {
                waiting->complete(folder_missing());
                return;
            }
            auto out = make_job_stream(ndjson_head(), unread_room);
            waiting->forward(out);
            auto units = std::make_unique<inner_archive_units>(*context_.inner, place.archive);
            workers_.start(std::make_shared<content_search>(
                std::move(terms), std::move(pattern),
                std::move(*items), std::move(units), out, std::move(password)));
        });
}

}  // namespace browse
