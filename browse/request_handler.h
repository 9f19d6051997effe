// Gives request paths their meaning: the JSON listing of the archive at
// "/ArchiveContent", each archive item below it, and the viewer's page files
// under the document root for every other path.
#pragma once

#include <string>

#include "browse/content_tree.h"
#include "http/reply.h"
#include "http/request.h"

namespace http::server {

class request_handler {
public:
    explicit request_handler(std::string document_root);
    request_handler(const request_handler&) = delete;
    request_handler& operator=(const request_handler&) = delete;

    // Fills the fresh `rep` completely, headers included.
    void handle_request(const request& req, reply& rep);

    // The archive content tree, filled by the archive listing before serving.
    browse::content_tree& tree() { return tree_; }

private:
    // Each route appends the body and sets the status, or replaces `rep` with a
    // canned reply and answers false.
    bool serve_archive_content(const std::vector<std::string>& components, std::string& path, reply& rep);
    bool serve_page_file(std::string& path, reply& rep);

    std::string document_root_;
    browse::content_tree tree_;
};

}  // namespace http::server
