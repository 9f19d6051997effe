// Serving an item from the cache, a running pass or a new one.
#include "browse/item_route.h"

#include <exception>

#include "archive/item_names.h"
#include "browse/folder_page.h"
#include "browse/links.h"
#include "browse/route_support.h"
#include "browse/streamed_item.h"
#include "http/byte_range.h"
#include "http/header_values.h"
#include "http/mime_types.h"

namespace browse {

item_request item_terms(const route_context& context, const http::request& req, const std::string& name,
                        bool head_only, const std::string& etag)
{
    item_request terms;
    terms.range = http::requested_range(req.headers);
    terms.content_type = http::mime_type_for_extension(extension_of(name));
    terms.head_only = head_only;
    terms.collect_budget = context.collect_budget;
    terms.watch = context.watch;
    // Archive content never runs as the viewer: no sniffing and no scripts,
    // even when an item is opened from its own address. Without scripts the
    // page cannot reach this origin; it keeps it only so that its own styles and
    // images load from the archive beside it.
    terms.headers = {{"ETag", etag},
                     {"Cache-Control", "no-cache"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy", "sandbox allow-same-origin"},
                     {"Content-Disposition", http::inline_disposition(archive::shown_name(name))}};
    return terms;
}

bool item_route::claims(const route_request& request) const
{
    return request.components.size() > 1 && request.components[0] == root_name;
}

void item_route::serve(const route_request& request, http::reply& rep)
{
    const content_node* node = context_.tree.find_node(request.components);
    // The archive's entry of an empty folder is listed among the files: asked
    // for without the closing slash, it stays the empty item that it is there.
    if (node && answered_as_folder(*node) && (request.path.ends_with('/') || !node->children().empty())) {
        rep = request.path.ends_with('/') ? folder_page(*node, request.components)
                                          : folder_redirect(request.components);
        return;
    }
    if (!node || !node->holds_item()) {
        inner_.serve_item(request, rep);
        return;
    }
    link_resolution served;
    served.item = node->item_index();
    const std::shared_ptr<const item_facts> facts = context_.details.facts();
    if (facts) {
        served = resolve_links(context_.tree, *facts, served.item);
        if (!served.found) {
            rep = http::text_reply(http::not_found, "The hard link names no item of the archive.\n");
            return;
        }
    }
    const std::string etag = quoted(context_.content.tag + "-" + std::to_string(served.item));
    if (answer_not_modified(request.http, etag, rep))
        return;
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    item_request terms = item_terms(context_, request.http, request.components.back(), request.head_only, etag);
    terms.item_path = item_path_of(request.components);
    if (served.as_text)
        terms.content_type = http::mime_type_for_extension("txt");
    if (served.target) {
        rep = whole_item_reply(std::move(served.target), terms);
        return;
    }
    // The head alone would be 200 without a look at the data; GET would answer 401.
    if (request.head_only && !password && !context_.content.has_password && facts && facts->encrypted(served.item)) {
        rep = item_failure_reply(archive::item_status::password_needed);
        return;
    }
    if (std::shared_ptr<const std::string> bytes = context_.items.at_hand(served.item, password)) {
        rep = whole_item_reply(std::move(bytes), terms);
        return;
    }
    const std::string item_path = terms.item_path;
    auto item = std::make_shared<streamed_item>(std::move(terms), context_.log);
    try {
        context_.items.fetch(served.item, item, password);
    } catch (const std::exception&) {
        context_.log.item_failed(item_path, archive::item_status::failed);
        rep = item_failure_reply(archive::item_status::failed, item_path);
        return;
    }
    rep.stream = std::move(item);
}

}  // namespace browse
