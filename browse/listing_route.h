// The JSON listing of the whole archive at "/ArchiveContent": names only, or
// with "?details" what the archive records of each item, which waits until a
// worker has read it.
#pragma once

#include <string>

#include "browse/route.h"
#include "browse/route_context.h"

namespace browse {

class listing_route : public route {
public:
    // `context` outlives the route.
    explicit listing_route(route_context& context) : context_(context) {}

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

    // Answers the requests that waited for the details listing, now published.
    void answer_waiting(std::vector<published_details::waiting_request> waiting);

private:
    std::string etag(bool details, bool compressed) const;

    route_context& context_;
};

}  // namespace browse
