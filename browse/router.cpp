// Routing of one request to the listing, an archive item or a page file.
#include "browse/router.h"

#include <exception>

#include "browse/json_listing.h"
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
    bool served = !components.empty() && components[0] == root_name
                      ? serve_archive_content(components, path, rep)
                      : serve_page_file(path, rep);
    if (!served)
        return;

    rep.status = ok;
    rep.headers.push_back({"Content-Length", std::to_string(rep.content.size())});
    rep.headers.push_back({"Content-Type", mime_type_for_extension(extension_of(path))});
}

bool router::serve_archive_content(const std::vector<std::string>& components, std::string& path,
                                            reply& rep)
{
    if (components.size() == 1) {
        path += "/index.json";  // gives the listing its extension
        write_json(rep.content, tree_.root());
        return true;
    }
    const content_node* node = tree_.find_node(components);
    if (!node || !node->holds_item()) {
        rep = canned_reply(not_found);
        return false;
    }
    return serve_item(node->item_index(), rep);
}

bool router::serve_item(std::uint32_t index, reply& rep)
{
    archive::item_status status;
    try {
        status = items_.fetch(index, rep.content);
    } catch (const std::exception&) {
        status = archive::item_status::failed;
    }
    if (status == archive::item_status::ok)
        return true;
    if (*archive::item_status_text(status))
        log_.item_failed(status);
    rep = canned_reply(internal_server_error);
    return false;
}

bool router::serve_page_file(std::string& path, reply& rep)
{
    if (path.back() == '/')
        path += "index.html";
    if (!platform::append_page_file(page_folder_ + path, rep.content)) {
        rep = canned_reply(not_found);
        return false;
    }
    return true;
}

}  // namespace browse
