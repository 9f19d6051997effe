// Starting the zip of a folder or of a selection, and making selections.
#include "browse/zip_route.h"

#include "browse/inner_route.h"
#include "browse/route_support.h"
#include "browse/search_units.h"
#include "browse/zip_download.h"
#include "http/header_values.h"
#include "http/query_string.h"

namespace browse {
namespace {

// What the query asks: nothing for a zip of the path, an id for a selection's.
std::optional<std::optional<std::string>> zip_asked(std::string_view query)
{
    const std::optional<std::vector<http::query_parameter>> parameters = http::parse_query(query);
    if (!parameters)
        return std::nullopt;
    for (const http::query_parameter& parameter : *parameters) {
        if (parameter.first == "zip")
            return parameter.second.empty() ? std::optional<std::string>() : std::optional(parameter.second);
    }
    return std::nullopt;
}

// The file name without its extension (and ".tar" before it).
std::string bare_name(const std::string& path)
{
    std::string name = path.substr(path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1);
    for (int strip = 0; strip < 2; ++strip) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot == 0 || (strip == 1 && name.substr(dot) != ".tar"))
            break;
        name.resize(dot);
    }
    return name.empty() ? std::string(root_name) : name;
}

// Makes the items' paths (from the root) relative to `folder`, or the item's
// own name when the folder is the item itself.
void relative_to(const std::vector<std::string>& folder, std::vector<search_item>& items)
{
    std::size_t prefix = 0;
    for (const std::string& component : folder)
        prefix += component.size() + 1;
    for (search_item& item : items) {
        if (item.path.size() < prefix)
            item.path.erase(0, item.path.rfind('/') + 1);
        else
            item.path.erase(0, prefix);
    }
}

}  // namespace

zip_route::zip_route(route_context& context, archive_items& items, search_workers& workers,
                     const std::string& archive_path)
    : context_(context), items_(items), workers_(workers), archive_name_(bare_name(archive_path))
{
}

bool zip_route::claims(const route_request& request) const
{
    return !request.post && !request.components.empty() && request.components[0] == root_name &&
           zip_asked(request.query).has_value();
}

std::size_t zip_route::body_limit(const route_request& request) const
{
    const bool selects = request.post && request.components.size() == 1 && request.components[0] == root_name &&
                         request.query == "select";
    return selects ? selection_body_limit : 0;
}

void zip_route::serve(const route_request& request, http::reply& rep)
{
    if (request.post) {
        select(request, rep);
        return;
    }
    const std::optional<std::string> id = *zip_asked(request.query);
    if (id) {
        const std::shared_ptr<const zip_selection> selection =
            request.components.size() == 1 ? selections_.find(*id) : nullptr;
        if (!selection) {
            rep = http::text_reply(http::not_found, "No selection has this id (the last " +
                                                        std::to_string(zip_selections::kept) + " are kept).\n");
            return;
        }
        start(request, selection->items, selection->folder, nullptr, rep, selection->password);
        return;
    }
    const std::vector<std::string> folder(request.components.begin() + 1, request.components.end());
    std::optional<std::vector<search_item>> items = items_under(context_.tree, folder);
    if (items) {
        relative_to(folder, *items);
        start(request, std::move(*items), folder, nullptr, rep);
        return;
    }
    // A folder inside an archive that an item holds: it is opened (on a worker) first.
    const path_end end = follow_path(context_.tree, request.components, 1);
    if (!context_.inner || !end.node || !end.node->holds_item() || !end.node->children().empty()) {
        rep = http::canned_reply(http::not_found);
        return;
    }
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    std::vector<std::string> inside(request.components.begin() + static_cast<std::ptrdiff_t>(end.used),
                                    request.components.end());
    context_.inner->locate(*end.node, std::move(inside), true, password,
                           [this, waiting, folder, head_only = request.head_only,
                            password](inner_place place) mutable {
                               if (place.failure != inner_failure::none) {
                                   waiting->complete(inner_failure_reply(place, context_.log));
                                   return;
                               }
                               std::vector<std::string> there;  // the place's path in its archive
                               for (const content_node* node = place.node; node && node->parent(); node = node->parent())
                                   there.insert(there.begin(), std::string(node->name()));
                               std::optional<std::vector<search_item>> found = items_under(*place.archive->tree, there);
                               if (!found) {
                                   waiting->complete(http::canned_reply(http::not_found));
                                   return;
                               }
                               relative_to(there, *found);
                               auto units = std::make_unique<inner_archive_units>(*context_.inner, place.archive);
                               workers_.start(make_download(std::move(*found), folder, std::move(units), waiting,
                                                            head_only, std::move(password)));
                           });
}

std::shared_ptr<zip_download> zip_route::make_download(std::vector<search_item> items,
                                                       const std::vector<std::string>& folder,
                                                       std::unique_ptr<search_units> units,
                                                       std::shared_ptr<pending_reply> waiting, bool head_only,
                                                       item_password password)
{
    http::reply head;
    head.status = http::ok;
    head.headers = {{"Content-Type", "application/zip"},
                    {"Content-Disposition",
                     http::attachment_disposition((folder.empty() ? archive_name_ : folder.back()) + ".zip")},
                    {"Cache-Control", "no-store"},
                    {"X-Content-Type-Options", "nosniff"}};
    std::string shown;
    for (const std::string& component : folder)
        shown += component + "/";
    return std::make_shared<zip_download>(std::move(items), std::move(units), std::move(head), std::move(waiting),
                                          head_only, std::move(password), context_.log, std::move(shown));
}

void zip_route::start(const route_request& request, std::vector<search_item> items,
                      const std::vector<std::string>& folder, std::unique_ptr<search_units> units, http::reply& rep,
                      const item_password& kept_password)
{
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    if (!password)
        password = kept_password;
    if (!units) {
        const bool no_password = !password && !context_.content.has_password;
        units = std::make_unique<served_archive_units>(items_, context_.details.facts(), no_password);
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    workers_.start(make_download(std::move(items), folder, std::move(units), waiting, request.head_only,
                                 std::move(password)));
}

void zip_route::select(const route_request& request, http::reply& rep)
{
    std::string reason;
    item_password password;
    if (!password_of(request.http.headers, password)) {
        rep = http::canned_reply(http::bad_request);
        return;
    }
    const std::shared_ptr<const item_facts> facts = context_.details.facts();
    std::optional<zip_selection> selection = read_selection(context_.tree, request.http.body, facts.get(), reason);
    if (!selection) {
        rep = http::text_reply(http::bad_request, reason + "\n");
        return;
    }
    selection->password = std::move(password);
    const std::size_t count = selection->items.size();
    const std::uint64_t bytes = selection->bytes;
    const std::string id = selections_.keep(std::make_shared<const zip_selection>(std::move(*selection)));
    rep.status = http::ok;
    rep.content = "{\"selection\":\"" + id + "\",\"items\":" + std::to_string(count) + ",\"bytes\":" +
                  std::to_string(bytes) + "}\n";
    rep.headers = {{"Content-Type", "application/json"},
                   {"Content-Length", std::to_string(rep.content.size())},
                   {"Cache-Control", "no-store"}};
}

}  // namespace browse
