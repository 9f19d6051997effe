// Contents search: "/ArchiveContent?search=PATTERN" searches the served
// archive's items, "/ArchiveContent/<item>?search=PATTERN" those of the archive
// that the item holds (to any depth); search_terms.h has the other parameters.
// The reply is NDJSON (content_search.h), streamed as results are found; a
// pattern that RE2 refuses or that is longer than 1 KiB answers 400 with the
// reason as plain text. The request's X-Archive-Password opens encrypted items.
#pragma once

#include "browse/archive_items.h"
#include "browse/route.h"
#include "browse/route_context.h"
#include "browse/search_workers.h"

namespace browse {

class search_route : public route {
public:
    // Everything outlives the route.
    search_route(route_context& context, archive_items& items, search_workers& workers)
        : context_(context), items_(items), workers_(workers)
    {
    }

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    route_context& context_;
    archive_items& items_;
    search_workers& workers_;
};

}  // namespace browse
