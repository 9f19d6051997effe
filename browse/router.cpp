// Routing of one request to the listing, an archive item or a page file.
#include "browse/router.h"

#include <exception>

#include "archive/item_names.h"
#include "browse/links.h"
#include "browse/streamed_item.h"
#include "http/byte_range.h"
#include "http/header_values.h"
#include "http/mime_types.h"
#include "http/request_guard.h"
#include "http/uri_decoding.h"
#include "platform/page_files.h"

namespace browse {

using namespace http;

namespace {

// The extension after the last '.' of the path's last '/'-segment, or empty.
std::string extension_of(const std::string& path)
{
    std::size_t last_slash = path.find_last_of('/');
    std::size_t last_dot = path.find_last_of('.');
    if (last_dot == std::string::npos || (last_slash != std::string::npos && last_dot < last_slash))
        return {};
    return path.substr(last_dot + 1);
}

// An absolute path without NUL bytes and without a ".." component ('/' and '\'
// both separate components, as they do in the tree); names like "a..b" are fine.
bool path_is_acceptable(const std::string& path)
{
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of("/\\", start);
        const std::size_t length = (end == std::string::npos ? path.size() : end) - start;
        if (path.compare(start, length, "..") == 0 && length == 2)
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

std::string hex(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value);
    return text;
}

std::string quoted(const std::string& tag)
{
    return "\"" + tag + "\"";
}

// Answers 304 when the client holds this version already.
bool answer_not_modified(const request& req, const std::string& etag, reply& rep)
{
    if (!none_match_holds(req.headers, etag))
        return false;
    rep = reply();
    rep.status = not_modified;
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
    return true;
}

// The password of a request for encrypted items: percent-encoded UTF-8 in a
// header of its own, never in the address, so that no log or history keeps it.
// False when it is malformed or given twice.
bool password_of(const std::vector<header>& headers, item_password& password)
{
    for (const header& h : headers) {
        if (!equals_ignoring_case(h.name, "X-Archive-Password"))
            continue;
        if (password)
            return false;
        if (!decode_uri(trim(h.value), password.emplace()))
            return false;
    }
    return true;
}

}  // namespace

std::string archive_tag(const platform::file_identity& identity)
{
    return hex(identity.device) + "-" + hex(identity.inode) + "-" + hex(identity.size) + "-" +
           hex(static_cast<std::uint64_t>(identity.modified_ns));
}

router::router(const content_tree& tree, item_source& items, request_log& log, std::string page_folder)
    : tree_(tree), items_(items), log_(log), page_folder_(std::move(page_folder))
{
}

void router::handle_request(const request& req, reply& rep)
{
    if (!request_is_from_this_machine(req.headers)) {
        rep = canned_reply(forbidden);
        return;
    }
    const bool head_only = req.method == "HEAD";
    if (!head_only && req.method != "GET") {
        rep = canned_reply(not_implemented);
        return;
    }
    route(req, head_only, rep);
    if (head_only) {  // the same head, no body
        rep.content.clear();
        rep.shared_content.reset();
    }
}

void router::route(const request& req, bool head_only, reply& rep)
{
    // A query string is not part of the path.
    const std::size_t question = req.uri.find('?');
    const std::string_view target = std::string_view(req.uri).substr(0, question);
    const std::string_view query =
        question == std::string::npos ? std::string_view() : std::string_view(req.uri).substr(question + 1);
    std::string path;
    if (!decode_uri(target, path)) {
        rep = canned_reply(bad_request);
        return;
    }
    log_.request_decoded(path);
    if (!path_is_acceptable(path)) {
        rep = canned_reply(bad_request);
        return;
    }

    std::vector<std::string> components;
    split_path(path, components);
    if (components.empty())
        path.resize(1);  // "/", "//", "/." and the like all mean "/", the start page
    if (components.empty() || components[0] != root_name)
        serve_page_file(req, path, rep);
    else if (components.size() == 1)
        serve_listing(req, query == "details", head_only, rep);
    else if (query == "list")
        serve_inner_listing(req, components, head_only, rep);
    else
        serve_item(req, components, head_only, rep);
}

void router::publish_details(served_bytes details, std::shared_ptr<const item_facts> facts)
{
    std::vector<waiting_request> waiting;
    {
        std::lock_guard lock(details_mutex_);
        details_ = std::move(details);
        facts_ = std::move(facts);
        waiting.swap(waiting_for_details_);
    }
    for (waiting_request& request : waiting) {
        reply rep = listing_reply(details_, listing_etag(true, request.compressed), request.compressed);
        if (request.head_only)
            rep.shared_content.reset();
        request.reply->complete(std::move(rep));
    }
}

void router::serve_listing(const request& req, bool details, bool head_only, reply& rep)
{
    if (!content_.names.plain)
        content_.names = build_names_listing(tree_);
    const bool compressed = accepts_gzip(req.headers);
    if (answer_not_modified(req, listing_etag(details, compressed), rep))
        return;
    if (!details) {
        rep = listing_reply(content_.names, listing_etag(false, compressed), compressed);
        return;
    }
    std::lock_guard lock(details_mutex_);
    if (details_.plain) {
        rep = listing_reply(details_, listing_etag(true, compressed), compressed);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    waiting_for_details_.push_back({waiting, compressed, head_only});
    rep.stream = std::move(waiting);
}

std::string router::listing_etag(bool details, bool compressed) const
{
    return quoted(content_.tag + (details ? "-details" : "-names") + (compressed ? "-gzip" : ""));
}

reply router::listing_reply(const served_bytes& listing, const std::string& etag, bool compressed) const
{
    reply rep;
    rep.status = ok;
    rep.shared_content = compressed ? listing.gzipped : listing.plain;
    rep.headers.push_back({"Content-Length", std::to_string(rep.shared_content->size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension("json")});
    if (compressed)
        rep.headers.push_back({"Content-Encoding", "gzip"});
    rep.headers.push_back({"Vary", "Accept-Encoding"});
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
    return rep;
}

item_request router::item_terms(const request& req, const std::string& name, bool head_only,
                                const std::string& etag) const
{
    item_request terms;
    terms.range = requested_range(req.headers);
    terms.content_type = mime_type_for_extension(extension_of(name));
    terms.head_only = head_only;
    terms.collect_budget = collect_budget_;
    // Archive content never runs as the viewer: no sniffing and no scripts,
    // even when an item is opened from its own address. Without scripts the
    // page cannot reach this origin; it keeps it only so that its own styles and
    // images load from the archive beside it.
    terms.headers = {{"ETag", etag},
                     {"Cache-Control", "no-cache"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy", "sandbox allow-same-origin"},
                     {"Content-Disposition", inline_disposition(archive::shown_name(name))}};
    return terms;
}

std::shared_ptr<const item_facts> router::known_facts()
{
    std::lock_guard lock(details_mutex_);
    return facts_;
}

void router::serve_item(const request& req, const std::vector<std::string>& components, bool head_only, reply& rep)
{
    const content_node* node = tree_.find_node(components);
    if (!node || !node->holds_item()) {
        serve_inner_item(req, components, head_only, rep);
        return;
    }
    link_resolution served;
    served.item = node->item_index();
    const std::shared_ptr<const item_facts> facts = known_facts();
    if (facts) {
        served = resolve_links(tree_, *facts, served.item);
        if (!served.found) {
            rep = text_reply(not_found, "The hard link names no item of the archive.\n");
            return;
        }
    }
    const std::string etag = quoted(content_.tag + "-" + std::to_string(served.item));
    if (answer_not_modified(req, etag, rep))
        return;
    item_password password;
    if (!password_of(req.headers, password)) {
        rep = canned_reply(bad_request);
        return;
    }
    item_request terms = item_terms(req, components.back(), head_only, etag);
    if (served.as_text)
        terms.content_type = mime_type_for_extension("txt");
    if (served.target) {
        rep = whole_item_reply(std::move(served.target), terms);
        return;
    }
    // The head alone would be 200 without a look at the data; GET would answer 401.
    if (head_only && !password && !content_.has_password && facts && facts->encrypted(served.item)) {
        rep = item_failure_reply(archive::item_status::password_needed);
        return;
    }
    if (std::shared_ptr<const std::string> bytes = items_.at_hand(served.item, password)) {
        rep = whole_item_reply(std::move(bytes), terms);
        return;
    }
    auto item = std::make_shared<streamed_item>(std::move(terms), log_);
    try {
        items_.fetch(served.item, item, password);
    } catch (const std::exception&) {
        rep = canned_reply(internal_server_error);
        return;
    }
    rep.stream = std::move(item);
}

namespace {

// "5.2" for the chain {5, 2}: names an inner archive in tags.
std::string chain_text(const item_chain& chain)
{
    std::string text;
    for (const std::uint32_t index : chain) {
        if (!text.empty())
            text += '.';
        text += std::to_string(index);
    }
    return text;
}

// The reply for a path that inner archives do not lead to.
reply inner_failure_reply(inner_failure failure)
{
    if (failure == inner_failure::not_found)
        return canned_reply(not_found);
    return text_reply(internal_server_error,
                      "The archive inside the archive cannot be opened: it is damaged, or it cannot be decoded.\n");
}

}  // namespace

void router::serve_inner_listing(const request& req, const std::vector<std::string>& components, bool head_only,
                                 reply& rep)
{
    const path_end end = follow_path(tree_, components, 1);
    if (!inner_ || !end.node || !end.node->holds_item() || !end.node->children().empty()) {
        rep = canned_reply(not_found);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    const bool compressed = accepts_gzip(req.headers);
    inner_->locate(*end.node, {components.begin() + static_cast<std::ptrdiff_t>(end.used), components.end()}, true,
                   [this, waiting, req, compressed, head_only](inner_place place) {
                       if (place.failure != inner_failure::none) {
                           waiting->complete(inner_failure_reply(place.failure));
                           return;
                       }
                       const std::string etag = quoted(content_.tag + "-inner-" + chain_text(place.chain) +
                                                       (compressed ? "-names-gzip" : "-names"));
                       reply listing;
                       if (!answer_not_modified(req, etag, listing)) {
                           listing = listing_reply(place.archive->names, etag, compressed);
                           if (head_only)
                               listing.shared_content.reset();
                       }
                       waiting->complete(std::move(listing));
                   });
}

void router::serve_inner_item(const request& req, const std::vector<std::string>& components, bool head_only,
                              reply& rep)
{
    const path_end end = follow_path(tree_, components, 1);
    if (!inner_ || !end.node || end.used == components.size()) {
        rep = canned_reply(not_found);
        return;
    }
    auto waiting = std::make_shared<pending_reply>();
    rep.stream = waiting;
    inner_->locate(*end.node, {components.begin() + static_cast<std::ptrdiff_t>(end.used), components.end()}, false,
                   [this, waiting, req, name = components.back(), head_only](inner_place place) {
                       if (place.failure == inner_failure::none && !place.node->holds_item())
                           place.failure = inner_failure::not_found;  // a folder made on the way to items
                       if (place.failure != inner_failure::none) {
                           waiting->complete(inner_failure_reply(place.failure));
                           return;
                       }
                       const std::uint32_t index = place.node->item_index();
                       const std::string etag = quoted(content_.tag + "-inner-" + chain_text(place.chain) + "-" +
                                                       std::to_string(index));
                       reply unchanged;
                       if (answer_not_modified(req, etag, unchanged)) {
                           waiting->complete(std::move(unchanged));
                           return;
                       }
                       auto item = std::make_shared<streamed_item>(item_terms(req, name, head_only, etag), log_);
                       waiting->forward(item);
                       inner_->extract(*place.archive, index, *item);
                   });
}

void router::serve_page_file(const request& req, std::string& path, reply& rep)
{
    if (path.back() == '/')
        path += "index.html";
    page_file page;
    switch (pages_.get(page_folder_ + path, page)) {
    case platform::page_file_status::ok:
        break;
    case platform::page_file_status::missing:
        rep = canned_reply(not_found);
        return;
    case platform::page_file_status::out_of_room:
        rep = canned_reply(service_unavailable);
        return;
    case platform::page_file_status::read_failed:
        rep = canned_reply(internal_server_error);
        return;
    }
    const platform::file_identity& identity = page.identity;
    const std::string etag =
        quoted("p-" + hex(identity.size) + "-" + hex(static_cast<std::uint64_t>(identity.modified_ns)));
    if (answer_not_modified(req, etag, rep))
        return;
    rep.status = ok;
    rep.shared_content = std::move(page.bytes);
    rep.headers.push_back({"Content-Length", std::to_string(rep.shared_content->size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension(extension_of(path))});
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
}

}  // namespace browse
