// Gives requests their meaning: GET and HEAD of the JSON listing of the archive
// at "/ArchiveContent" ("?details" adds what the archive records of each item),
// of each archive item below it, and of the viewer's page files under the page
// folder for every other path; a POST is served only by a route that takes
// its body (the selection of a zip), other methods are not implemented. An item that
// is an archive itself is browsed like a folder: "<item>?list" is its listing,
// "<item>/<path inside>" one of its items, to any depth. A query string is not
// part of the path. Every reply of content carries an ETag and
// is revalidated (304) rather than sent again.
//
// The router checks and decodes a request once, then hands it to the first of
// its routes that claims it (route.h): one file per route.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/inner_archives.h"
#include "browse/inner_route.h"
#include "browse/item_facts.h"
#include "browse/item_route.h"
#include "browse/item_source.h"
#include "browse/listing_progress.h"
#include "browse/listing_route.h"
#include "browse/page_route.h"
#include "browse/pending_reply.h"
#include "browse/request_log.h"
#include "browse/route.h"
#include "browse/route_context.h"
#include "browse/route_support.h"
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

    // Serves the page files while the archive is still being listed by another
    // thread: every other request waits until publish (but the figures of
    // "/ArchiveContent?progress"). Called before the server runs.
    void hold_until_published();

    // What to serve once the archive is listed; until then the names of the
    // tree as it is at the first request, under an empty tag. Called before the
    // server runs, or on its event loop after hold_until_published: the
    // requests that waited are served now.
    void publish(archive_content content);

    // The figures of a long first reading, for the page (from any thread).
    listing_progress& progress() { return progress_; }

    // The details listing and the facts of items that it was made from, once
    // they are read (from any thread): requests for the listing that came
    // before it are answered now; until then, items are served by their names.
    void publish_details(served_bytes details, std::shared_ptr<const item_facts> facts = nullptr);

    // Serves archives inside the archive from `inner`, which outlives the router;
    // without it, paths into items answer 404.
    void serve_inner_archives(inner_archives& inner) { context_.inner = &inner; }

    // The most bytes an item of unknown size may take while it is collected whole.
    void set_collect_budget(std::uint64_t bytes) { context_.collect_budget = bytes; }

    // Adds a route, asked before the built-in ones that take the same paths
    // (the listing, inner listings and items); the router owns it.
    void add_route(std::unique_ptr<route> added);

    // What the routes share: for routes added from outside.
    route_context& context() { return context_; }

    std::size_t body_limit(const http::request& req) override;
    void handle_request(const http::request& req, http::reply& rep) override;

private:
    // A request that came while the archive was being listed.
    struct held_request {
        http::request http;
        std::string path;
        std::vector<std::string> components;
        std::string query;
        bool head_only;
        bool post;
        std::shared_ptr<pending_reply> reply;
    };

    // The request's path decoded (and written to the log when `logged`) and
    // split; nothing (and `rep` filled) when it is malformed or not acceptable.
    std::optional<route_request> decoded(const http::request& req, bool head_only, bool post, http::reply& rep,
                                         bool logged);
    // Maps a request to its route, or holds it while the archive is listed.
    void dispatch(const http::request& req, bool head_only, bool post, http::reply& rep);
    // Gives the request to the first route that takes it; it fills `rep` completely.
    void route_to(const route_request& request, http::reply& rep);

    route_context context_;
    listing_progress progress_;
    bool holding_ = false;
    std::vector<held_request> held_;  // the event loop's
    page_route pages_;
    progress_route progress_route_;
    listing_route listing_;
    inner_route inner_;
    item_route items_;
    std::vector<std::unique_ptr<route>> added_;
    std::vector<route*> routes_;  // in the order they are asked
};

}  // namespace browse
