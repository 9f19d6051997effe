// The HTML page of links of a folder, and the redirect to its address.
#include "browse/folder_page.h"

#include <string_view>

#include "http/uri_encoding.h"

namespace browse {
namespace {

void append_html_escaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

// The encoded path of the components, each behind a '/'.
std::string encoded_path(const std::vector<std::string>& components)
{
    std::string path;
    for (const std::string& component : components)
        path += '/' + http::encode_path_segment(component);
    return path;
}

}  // namespace

bool answered_as_folder(const content_node& node)
{
    return node.holds_folder_item() || (!node.holds_item() && !node.children().empty());
}

http::reply folder_page(const content_node& folder, const std::vector<std::string>& components)
{
    std::string shown;  // the folder's path inside the archive
    for (std::size_t i = 1; i < components.size(); ++i)
        shown += components[i] + '/';
    std::string viewer = "/#";
    for (std::size_t i = 1; i < components.size(); ++i)
        viewer += '/' + http::encode_path_segment(components[i]);

    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
    append_html_escaped(page, shown);
    page += "</title></head>\n<body>\n<h1>";
    append_html_escaped(page, shown);
    page += "</h1>\n<p><a href=\"" + viewer + "\">Open in the viewer</a></p>\n<ul>\n<li><a href=\"../\">../</a></li>\n";
    for (const content_node* child : folder.children()) {
        const bool child_is_folder = answered_as_folder(*child);
        page += "<li><a href=\"" + http::encode_path_segment(child->name()) + (child_is_folder ? "/" : "") + "\">";
        append_html_escaped(page, child->name());
        page += child_is_folder ? "/</a></li>\n" : "</a></li>\n";
    }
    page += "</ul>\n</body></html>\n";

    http::reply rep;
    rep.headers = {{"Content-Length", std::to_string(page.size())},
                   {"Content-Type", "text/html; charset=utf-8"},
                   {"Cache-Control", "no-cache"},
                   {"X-Content-Type-Options", "nosniff"},
                   {"Content-Security-Policy", "default-src 'none'"}};
    rep.content = std::move(page);
    return rep;
}

http::reply folder_redirect(const std::vector<std::string>& components)
{
    http::reply rep = http::canned_reply(http::moved_permanently);
    rep.headers.push_back({"Location", encoded_path(components) + "/"});
    return rep;
}

}  // namespace browse
