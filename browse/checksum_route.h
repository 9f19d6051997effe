// An item's SHA-256: "/ArchiveContent/<item>?sha256" answers
// {"sha256":HEX,"size":N} once the item has streamed through the digest
// (item_digest.h), with the request's X-Archive-Password. A hard link's is
// that of the item it names, a symbolic link's that of its target's text, as
// the item route serves them.
#pragma once

#include "browse/route.h"
#include "browse/route_context.h"

namespace browse {

class checksum_route : public route {
public:
    // `context` outlives the route.
    explicit checksum_route(route_context& context) : context_(context) {}

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    route_context& context_;
};

}  // namespace browse
