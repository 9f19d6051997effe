// Archives inside the archive, browsed like folders: "<item>?list" is the
// listing of the archive that the item holds, "<item>/<path inside>" one of its
// items, to any depth. Both wait for the archives on the way to be opened on a
// worker.
#pragma once

#include <string>

#include "browse/inner_archives.h"
#include "browse/route.h"
#include "browse/route_context.h"

namespace browse {

// "5.2" for the chain {5, 2}: names an inner archive in tags.
std::string chain_text(const item_chain& chain);

// The reply for a path that inner archives do not lead to.
http::reply inner_failure_reply(inner_failure failure);

class inner_route : public route {
public:
    // `context` outlives the route.
    explicit inner_route(route_context& context) : context_(context) {}

    // The listings; items come through serve_item.
    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

    // An item of an inner archive: a path that the served archive's tree does
    // not lead to an item.
    void serve_item(const route_request& request, http::reply& rep);

private:
    route_context& context_;
};

}  // namespace browse
