// Routing of one request to the listing, an archive item or a page file.
#include "browse/router.h"

#include <exception>

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

bool path_is_acceptable(const std::string& path)
{
    return !path.empty() && path[0] == '/' && path.find("..") == std::string::npos &&
           path.find('\0') == std::string::npos;
}

}  // namespace

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
    std::string path;
    if (!decode_uri(req.uri, path)) {
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
        serve_page_file(path, rep);
    else if (components.size() == 1)
        serve_listing(req, rep);
    else
        serve_item(req, components, rep);
}

void router::serve_listing(const request& req, reply& rep)
{
    const served_listing listing = listing_.plain ? listing_ : build_served_listing(tree_);
    const bool compressed = accepts_gzip(req.headers);
    rep.status = ok;
    rep.shared_content = compressed ? listing.gzipped : listing.plain;
    rep.headers.push_back({"Content-Length", std::to_string(rep.shared_content->size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension("json")});
    if (compressed)
        rep.headers.push_back({"Content-Encoding", "gzip"});
}

void router::serve_item(const request& req, const std::vector<std::string>& components, reply& rep)
{
    const content_node* node = tree_.find_node(components);
    if (!node || !node->holds_item()) {
        rep = canned_reply(not_found);
        return;
    }
    auto item = std::make_shared<streamed_item>(requested_range(req.headers),
                                                mime_type_for_extension(extension_of(components.back())), log_);
    try {
        items_.fetch(node->item_index(), item);
    } catch (const std::exception&) {
        rep = canned_reply(internal_server_error);
        return;
    }
    rep.stream = std::move(item);
}

void router::serve_page_file(std::string& path, reply& rep)
{
    if (path.back() == '/')
        path += "index.html";
    if (!platform::append_page_file(page_folder_ + path, rep.content)) {
        rep = canned_reply(not_found);
        return;
    }
    rep.status = ok;
    rep.headers.push_back({"Content-Length", std::to_string(rep.content.size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension(extension_of(path))});
}

}  // namespace browse
