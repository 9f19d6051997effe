// Serving a page file with its media type and tag.
#include "browse/page_route.h"

#include "browse/content_tree.h"
#include "browse/route_support.h"
#include "http/mime_types.h"
#include "platform/page_files.h"

namespace browse {

bool page_route::claims(const route_request& request) const
{
    return request.components.empty() || request.components[0] != root_name;
}

void page_route::serve(const route_request& request, http::reply& rep)
{
    std::string path = request.path;
    if (path.back() == '/')
        path += "index.html";
    page_file page;
    switch (pages_.get(page_folder_ + path, page)) {
    case platform::page_file_status::ok:
        break;
    case platform::page_file_status::missing:
        rep = http::canned_reply(http::not_found);
        return;
    case platform::page_file_status::out_of_room:
        rep = http::canned_reply(http::service_unavailable);
        return;
    case platform::page_file_status::read_failed:
        rep = http::canned_reply(http::internal_server_error);
        return;
    }
    const platform::file_identity& identity = page.identity;
    const std::string etag =
        quoted("p-" + hex(identity.size) + "-" + hex(static_cast<std::uint64_t>(identity.modified_ns)));
    if (answer_not_modified(request.http, etag, rep))
        return;
    rep.status = http::ok;
    rep.shared_content = std::move(page.bytes);
    rep.headers.push_back({"Content-Length", std::to_string(rep.shared_content->size())});
    rep.headers.push_back({"Content-Type", http::mime_type_for_extension(extension_of(path))});
    rep.headers.push_back({"ETag", etag});
    rep.headers.push_back({"Cache-Control", "no-cache"});
}

}  // namespace browse
