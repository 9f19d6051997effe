// Gives request paths their meaning: the JSON listing of the archive at
// "/ArchiveContent", each archive item below it, and the viewer's page files
// under the page folder for every other path.
#pragma once

#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/item_source.h"
#include "browse/request_log.h"
#include "browse/served_listing.h"
#include "http/request_handler.h"

namespace browse {

class router : public http::request_handler {
public:
    // The tree, the item source and the log belong to the caller and outlive the
    // router; `page_folder` is a path prefix ending in '/' ("HTML/" by default).
    router(const content_tree& tree, item_source& items, request_log& log, std::string page_folder);
    router(const router&) = delete;
    router& operator=(const router&) = delete;

    // The listing to serve from now on; until then the listing of the tree as it
    // is at each request.
    void publish_listing(served_listing listing) { listing_ = std::move(listing); }

    void handle_request(const http::request& req, http::reply& rep) override;

private:
    // Each route fills `rep` completely.
    void serve_listing(const http::request& req, http::reply& rep);
    void serve_item(const http::request& req, const std::vector<std::string>& components, http::reply& rep);
    void serve_page_file(std::string& path, http::reply& rep);

    const content_tree& tree_;
    item_source& items_;
    request_log& log_;
    std::string page_folder_;
    served_listing listing_;
};

}  // namespace browse
