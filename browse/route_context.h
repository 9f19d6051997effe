// What the routes of the archive share: the archive as it is published once
// listed, its tree and items, the log, the details listing once it is read,
// and the archives inside it. Owned by the router; the routes keep a reference.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/inner_archives.h"
#include "browse/item_facts.h"
#include "browse/item_source.h"
#include "browse/pending_reply.h"
#include "browse/request_log.h"
#include "browse/served_listing.h"
#include "platform/file_watch.h"

namespace browse {

// The archive as the router serves it, once it is listed.
struct archive_content {
    served_bytes names;
    std::string tag;  // tells this archive file from any other, or from itself changed
    bool has_password = false;  // opened with a password, which serves requests that bring none
};

// The details listing and the facts of items that it was made from, read by a
// worker while the server runs; requests for the listing that come before it
// wait here. Guarded by its mutex: published from any thread.
class published_details {
public:
    // A request for the details listing while it is being built.
    struct waiting_request {
        std::shared_ptr<pending_reply> reply;
        bool compressed;
        bool head_only;
    };

    // The listing once it is there; else `waiting` joins the requests that wait for it.
    served_bytes listing_or_wait(waiting_request waiting);

    // The listing; empty until it is published.
    served_bytes listing();

    // Stores both and hands the requests that waited over to the caller.
    std::vector<waiting_request> publish(served_bytes details, std::shared_ptr<const item_facts> facts);

    // The facts, once they are read; null until then.
    std::shared_ptr<const item_facts> facts();

private:
    std::mutex mutex_;  // guards the three below
    served_bytes details_;
    std::shared_ptr<const item_facts> facts_;
    std::vector<waiting_request> waiting_;
};

struct route_context {
    route_context(const content_tree& served_tree, item_source& source, request_log& request_log)
        : tree(served_tree), items(source), log(request_log)
    {
    }

    const content_tree& tree;
    item_source& items;
    request_log& log;
    archive_content content;                   // set before the server runs, then only read
    std::uint64_t collect_budget = UINT64_MAX; // what an item of unknown size may take while collected whole
    inner_archives* inner = nullptr;           // without it, paths into items answer 404
    // The served file, when it is one: once it changed on disk, every request
    // for the archive's contents answers 409. Outlives the router.
    const platform::file_watch* watch = nullptr;
    published_details details;
};

}  // namespace browse
