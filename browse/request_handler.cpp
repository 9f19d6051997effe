// Routing of one request to the listing, an archive item or a page file.
#include "browse/request_handler.h"

#include "archive/extract_item.h"
#include "browse/json_listing.h"
#include "browse/request_guard.h"
#include "browse/request_log.h"
#include "browse/uri_decoding.h"
#include "http/mime_types.h"
#include "platform/page_files.h"

namespace http::server {
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

request_handler::request_handler(std::string document_root) : document_root_(std::move(document_root)) {}

void request_handler::handle_request(const request& req, reply& rep)
{
    if (!browse::request_is_from_this_machine(req.headers)) {
        rep = canned_reply(forbidden);
        return;
    }
    std::string path;
    if (!browse::decode_uri(req.uri, path)) {
        rep = canned_reply(bad_request);
        return;
    }
    browse::log_request_path(path);
    if (!path_is_acceptable(path)) {
        rep = canned_reply(bad_request);
        return;
    }

    std::vector<std::string> components;
    browse::split_path(path, components);
    if (components.empty())
        path.resize(1);  // "/", "//", "/." and the like all mean "/", the start page
    bool served = !components.empty() && components[0] == browse::root_name
                      ? serve_archive_content(components, path, rep)
                      : serve_page_file(path, rep);
    if (!served)
        return;

    rep.status = ok;
    rep.headers.push_back({"Content-Length", std::to_string(rep.content.size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension(extension_of(path))});
}

bool request_handler::serve_archive_content(const std::vector<std::string>& components, std::string& path,
                                            reply& rep)
{
    if (components.size() == 1) {
        path += "/index.json";  // gives the listing its extension
        browse::write_json(rep.content, tree_.root());
        return true;
    }
    const browse::content_node* node = tree_.find_node(components);
    if (!node || !node->holds_item()) {
        rep = canned_reply(not_found);
        return false;
    }
    if (!extract_item(node->item_index(), rep.content).succeeded()) {
        rep = canned_reply(internal_server_error);
        return false;
    }
    return true;
}

bool request_handler::serve_page_file(std::string& path, reply& rep)
{
    if (path.back() == '/')
        path += "index.html";
    if (!append_page_file(document_root_ + path, rep.content)) {
        rep = canned_reply(not_found);
        return false;
    }
    return true;
}

}  // namespace http::server
