// Testing the served archive: "/ArchiveContent?test" decodes every item and
// streams what is not sound as NDJSON (archive_test.h);
// "/ArchiveContent/<item>?test" tests the archive that the item holds. The request's
// X-Archive-Password opens encrypted items; without one, the archive's own
// serves, and items it cannot open are reported as "password".
#pragma once

#include "browse/archive_items.h"
#include "browse/route.h"
#include "browse/route_context.h"
#include "browse/search_workers.h"

namespace browse {

class test_route : public route {
public:
    // Everything outlives the route.
    test_route(route_context& context, archive_items& items, search_workers& workers)
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
