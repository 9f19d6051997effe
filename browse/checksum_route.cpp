// Starting the digest of an item.
#include "browse/checksum_route.h"

#include <exception>

#include "browse/item_digest.h"
#include "browse/item_head.h"
#include "browse/links.h"
#include "browse/route_support.h"

namespace browse {

bool checksum_route::claims(const route_request& request) const
{
    return request.components.size() > 1 && request.components[0] == root_name && query_asks(request.query, "sha256");
}

void checksum_route::serve(const route_request& request, http::reply& rep)
{
    const content_node* node = context_.tree.find_node(request.components);
    if (!node || !node->holds_item() || !node->children().empty()) {
        rep = http::text_reply(http::not_found, "There is no such item in the archive.\n");
        return;
    }
    link_resolution served;
    served.item = node->item_index();
    if (const std::shared_ptr<const item_facts> facts = context_.details.facts()) {
        served = resolve_links(context_.tree, *facts, served.item);
        if (!served.found) {
            rep = http::text_reply(http::not_found, "The hard link names no item of the archive.\n");
            return;
        }
    }
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    if (request.head_only) {  // the head says what a GET answers, without decoding the item
        rep.status = http::ok;
        rep.headers = {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}};
        return;
    }
    try {
        auto waiting = std::make_shared<pending_reply>();
        auto digest = std::make_shared<item_digest>(waiting);
        rep.stream = waiting;
        if (served.target)
            digest->take_whole(std::move(served.target));
        else if (std::shared_ptr<const std::string> bytes = context_.items.at_hand(served.item, password))
            digest->take_whole(std::move(bytes));
        else
            context_.items.fetch(served.item, digest, password);
    } catch (const std::exception&) {
        rep = http::canned_reply(http::internal_server_error);
    }
}

}  // namespace browse
