// Checking a request and handing it to its route.
#include "browse/router.h"

#include <utility>

#include "http/request_guard.h"
#include "http/uri_decoding.h"

namespace browse {

router::router(const content_tree& tree, item_source& items, request_log& log, std::string page_folder)
    : context_(tree, items, log),
      pages_(std::move(page_folder)),
      progress_route_(progress_),
      listing_(context_),
      inner_(context_),
      items_(context_, inner_),
      routes_{&pages_, &progress_route_, &listing_, &inner_, &items_}
{
}

void router::add_route(std::unique_ptr<route> added)
{
    routes_.insert(routes_.begin() + 2, added.get());  // after the page files and the progress, which no other takes
    added_.push_back(std::move(added));
}

void router::hold_until_published()
{
    holding_ = true;
    progress_.set_reading();
}

void router::publish(archive_content content)
{
    context_.content = std::move(content);
    holding_ = false;
    progress_.finish();
    for (held_request& held : std::exchange(held_, {})) {
        http::reply rep;
        route_to({held.http, std::move(held.path), std::move(held.components), held.query, held.head_only, held.post},
                 rep);
        if (held.head_only) {
            rep.content.clear();
            rep.shared_content.reset();
        }
        if (rep.stream)
            held.reply->forward(std::move(rep.stream));
        else
            held.reply->complete(std::move(rep));
    }
}

void router::publish_details(served_bytes details, std::shared_ptr<const item_facts> facts)
{
    listing_.answer_waiting(context_.details.publish(std::move(details), std::move(facts)));
}

void router::handle_request(const http::request& req, http::reply& rep)
{
    if (!http::request_is_from_this_machine(req.headers)) {
        rep = http::canned_reply(http::forbidden);
        return;
    }
    const bool head_only = req.method == "HEAD";
    const bool post = req.method == "POST";
    if (!head_only && !post && req.method != "GET") {
        rep = http::canned_reply(http::not_implemented);
        return;
    }
    dispatch(req, head_only, post, rep);
    if (head_only) {  // the same head, no body
        rep.content.clear();
        rep.shared_content.reset();
    }
}

std::size_t router::body_limit(const http::request& req)
{
    if (req.method != "POST")
        return 0;
    http::reply ignored;
    const std::optional<route_request> request = decoded(req, false, true, ignored, false);
    if (!request)
        return 0;
    for (route* candidate : routes_) {
        if (const std::size_t limit = candidate->body_limit(*request))
            return limit;
    }
    return 0;
}

std::optional<route_request> router::decoded(const http::request& req, bool head_only, bool post, http::reply& rep,
                                             bool logged)
{
    // A query string is not part of the path.
    const std::size_t question = req.uri.find('?');
    const std::string_view target = std::string_view(req.uri).substr(0, question);
    route_request request{req, {}, {}, {}, head_only, post};
    if (question != std::string::npos)
        request.query = std::string_view(req.uri).substr(question + 1);
    if (!http::decode_uri(target, request.path)) {
        rep = http::canned_reply(http::bad_request);
        return std::nullopt;
    }
    if (logged)
        context_.log.request_decoded(request.path);
    if (!path_is_acceptable(request.path)) {
        rep = http::canned_reply(http::bad_request);
        return std::nullopt;
    }
    split_path(request.path, request.components);
    if (request.components.empty())
        request.path.resize(1);  // "/", "//", "/." and the like all mean "/", the start page
    return request;
}

void router::dispatch(const http::request& req, bool head_only, bool post, http::reply& rep)
{
    std::optional<route_request> request = decoded(req, head_only, post, rep, true);
    if (!request)
        return;
    if (holding_ && !pages_.claims(*request) && !progress_route_.claims(*request)) {
        auto waiting = std::make_shared<pending_reply>();
        held_.push_back({req, std::move(request->path), std::move(request->components), std::string(request->query),
                         head_only, post, waiting});
        rep.stream = std::move(waiting);
        return;
    }
    route_to(*request, rep);
}

void router::route_to(const route_request& request, http::reply& rep)
{
    // Nothing of an archive changed on disk is served: not its listing, not a cached item.
    if (context_.watch && !request.components.empty() && request.components[0] == root_name &&
        context_.watch->changed()) {
        context_.log.archive_changed();
        rep = archive_changed_reply();
        return;
    }
    for (route* candidate : routes_) {
        if (request.post ? candidate->body_limit(request) > 0 : candidate->claims(request)) {
            candidate->serve(request, rep);
            return;
        }
    }
    rep = http::canned_reply(request.post ? http::not_implemented : http::not_found);
}

}  // namespace browse
