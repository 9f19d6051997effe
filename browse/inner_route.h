// Archives inside the archive, browsed like folders: "<item>?list" is the
// listing of the archive that the item holds, "<item>/<path inside>" one of its
// items, to any depth. Both wait for the archives on the way to be opened on a
// worker.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "browse/inner_archives.h"
#include "browse/route.h"
#include "browse/route_context.h"

namespace browse {

// "5.2" for the chain {5, 2}: names an inner archive in tags.
std::string chain_text(const item_chain& chain);

// The reply for a path that inner archives do not lead to.
http::reply inner_failure_reply(const inner_place& place, request_log& log);

// For a route that works on the whole of an archive inside the served one
// ("<item>?search=", "<item>?test"): a path that leads to no item answers 404;
// else the reply waits while the archive is opened on a worker, and `start`
// gets it with the waiting reply, which it completes or forwards. A folder
// inside an archive answers 404, as does a failure to open it.
using inner_start = std::function<void(inner_place& place, const std::shared_ptr<pending_reply>& waiting)>;
void open_whole_inner_archive(route_context& context, const route_request& request, http::reply& rep,
                              inner_start start);

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
