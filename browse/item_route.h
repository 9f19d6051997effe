// The archive's items at "/ArchiveContent/<path>": each extracted on request
// (or taken from the cache) and streamed, with its range, its tag and the
// password of the request; links as browse/links.h serves them. A path that
// goes on past an item leads into the archive that item holds (inner_route).
#pragma once

#include <string>

#include "browse/inner_route.h"
#include "browse/item_head.h"
#include "browse/route.h"
#include "browse/route_context.h"

namespace browse {

// What a request asks of the item `name` whose reply is revalidated by `etag`:
// its range and media type, and the headers that keep archive content from
// running as the viewer.
item_request item_terms(const route_context& context, const http::request& req, const std::string& name,
                        bool head_only, const std::string& etag);

class item_route : public route {
public:
    // `context` and `inner` outlive the route.
    item_route(route_context& context, inner_route& inner) : context_(context), inner_(inner) {}

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    route_context& context_;
    inner_route& inner_;
};

}  // namespace browse
