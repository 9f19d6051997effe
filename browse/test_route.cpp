// Starting a test of the served archive.
#include "browse/test_route.h"

#include "browse/archive_test.h"
#include "browse/content_search.h"
#include "browse/inner_route.h"
#include "browse/route_support.h"
#include "browse/search_units.h"
#include "browse/worker_job.h"
#include "http/live_stream.h"

namespace browse {
namespace {

// What a test's client may hold unread before the test waits for it.
constexpr std::size_t unread_room = 1 << 20;

}  // namespace

bool test_route::claims(const route_request& request) const
{
    return !request.components.empty() && request.components[0] == root_name && query_asks(request.query, "test");
}

void test_route::serve(const route_request& request, http::reply& rep)
{
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
        std::optional<std::vector<search_item>> items = items_to_search(context_.tree, "", {});
        auto out = make_job_stream(ndjson_head(), unread_room);
        // Encrypted items are tried even without a password: the library's
        // answer is the result to report.
        auto units = std::make_unique<served_archive_units>(items_, context_.details.facts(), false);
        workers_.start(std::make_shared<archive_test>(items ? std::move(*items) : std::vector<search_item>{},
                                                      std::move(units), out, std::move(password)));
        rep.stream = std::move(out);
        return;
    }

    // An archive that an item holds: it is opened (on a worker) first.
    open_whole_inner_archive(
        context_, request, rep,
        [this, password = std::move(password)](inner_place& place, const std::shared_ptr<pending_reply>& waiting) mutable {
            std::optional<std::vector<search_item>> items = items_to_search(*place.archive->tree, "", {});
            auto out = make_job_stream(ndjson_head(), unread_room);
            waiting->forward(out);
            auto units = std::make_unique<inner_archive_units>(*context_.inner, place.archive);
            workers_.start(std::make_shared<archive_test>(items ? std::move(*items) : std::vector<search_item>{},
                                                          std::move(units), out, std::move(password)));
        });
}

}  // namespace browse
