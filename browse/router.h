// Gives requests their meaning: GET and HEAD of the JSON listing of the archive
// at "/ArchiveContent" ("?details" adds what the archive records of each item),
// of each archive item below it, and of the viewer's page files under the page
// folder for every other path; other methods are not implemented. An item that
// is an archive itself is browsed like a folder: "<item>?list" is its listing,
// "<item>/<path inside>" one of its items, to any depth. A query string is not
// part of the path. Every reply of content carries an ETag and
// is revalidated (304) rather than sent again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/inner_archives.h"
#include "browse/item_facts.h"
#include "browse/item_head.h"
#include "browse/item_source.h"
#include "browse/page_cache.h"
#include "browse/request_log.h"
#include "browse/pending_reply.h"
#include "browse/served_listing.h"
#include "http/request_handler.h"
#include "platform/file_identity.h"

namespace browse {

// The archive as the router serves it, once it is listed.
struct archive_content {
    served_bytes names;
    std::string tag;  // tells this archive file from any other, or from itself changed
    bool has_password = false;  // opened with a password, which serves requests that bring none
};

// The tag of an archive file: its device, inode, size and modification time.
std::string archive_tag(const platform::file_identity& identity);

class router : public http::request_handler {
public:
    // The tree, the item source and the log belong to the caller and outlive the
    // router; `page_folder` is a path prefix ending in '/' ("HTML/" by default).
    router(const content_tree& tree, item_source& items, request_log& log, std::string page_folder);
    router(const router&) = delete;
    router& operator=(const router&) = delete;

    // What to serve once the archive is listed; until then the names of the
    // tree as it is at the first request, under an empty tag. Called before the
    // server runs.
    void publish(archive_content content) { content_ = std::move(content); }

    // The details listing and the facts of items that it was made from, once
    // they are read (from any thread): requests for the listing that came
    // before it are answered now; until then, items are served by their names.
    void publish_details(served_bytes details, std::shared_ptr<const item_facts> facts = nullptr);

    // Serves archives inside the archive from `inner`, which outlives the router;
    // without it, paths into items answer 404.
    void serve_inner_archives(inner_archives& inner) { inner_ = &inner; }

    // The most bytes an item of unknown size may take while it is collected whole.
    void set_collect_budget(std::uint64_t bytes) { collect_budget_ = bytes; }

    void handle_request(const http::request& req, http::reply& rep) override;

private:
    // Maps a GET or HEAD to its route; each route fills `rep` completely.
    void route(const http::request& req, bool head_only, http::reply& rep);
    void serve_listing(const http::request& req, bool details, bool head_only, http::reply& rep);
    http::reply listing_reply(const served_bytes& listing, const std::string& etag, bool compressed) const;
    std::string listing_etag(bool details, bool compressed) const;
    void serve_item(const http::request& req, const std::vector<std::string>& components, bool head_only,
                    http::reply& rep);
    std::shared_ptr<const item_facts> known_facts();
    // Replies that wait for inner archives to be opened on a worker.
    void serve_inner_listing(const http::request& req, const std::vector<std::string>& components, bool head_only,
                             http::reply& rep);
    void serve_inner_item(const http::request& req, const std::vector<std::string>& components, bool head_only,
                          http::reply& rep);
    item_request item_terms(const http::request& req, const std::string& name, bool head_only,
                            const std::string& etag) const;
    void serve_page_file(const http::request& req, std::string& path, http::reply& rep);

    const content_tree& tree_;
    item_source& items_;
    request_log& log_;
    std::string page_folder_;
    page_cache pages_;
    archive_content content_;

    // A request for the details listing while it is being built.
    struct waiting_request {
        std::shared_ptr<pending_reply> reply;
        bool compressed;
        bool head_only;
    };
    std::mutex details_mutex_;  // guards the three below
    served_bytes details_;
    std::shared_ptr<const item_facts> facts_;
    std::vector<waiting_request> waiting_for_details_;
    std::uint64_t collect_budget_ = UINT64_MAX;
    inner_archives* inner_ = nullptr;
};

}  // namespace browse
