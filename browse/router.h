// Gives request paths their meaning: the JSON listing of the archive at
// "/ArchiveContent", each archive item below it, and the viewer's page files
// under the page folder for every other path.
#pragma once

#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/item_source.h"
#include "browse/request_log.h"
#include "http/request_handler.h"

namespace browse {

class router : public http::request_handler {
public:
    // The tree, the item source and the log belong to the caller and outlive the
    // router; `page_folder` is a path prefix ending in '/' ("HTML/" by default).
    router(const content_tree& tree, item_source& items, request_log& log, std::string page_folder);
    router(const router&) = delete;
    router& operator=(const router&) = delete;

    void handle_request(const http::request& req, http::reply& rep) override;

private:
    // Each route appends the body and sets the status, or replaces `rep` with a
    // canned reply and answers false.
    bool serve_archive_content(const std::vector<std::string>& components, std::string& path, http::reply& rep);
    bool serve_item(std::uint32_t index, http::reply& rep);
    bool serve_page_file(std::string& path, http::reply& rep);

    const content_tree& tree_;
    item_source& items_;
    request_log& log_;
    std::string page_folder_;
};

}  // namespace browse
