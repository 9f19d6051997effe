// The one small interface behind which each route of the router lives: a route
// claims the requests it serves and fills their replies. The router decodes
// and checks the path once, then asks its routes in order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "http/reply.h"
#include "http/request.h"

namespace browse {

// A GET, HEAD or POST whose path has been decoded, found acceptable and split.
struct route_request {
    const http::request& http;
    std::string path;                     // decoded, without the query; "/" for the start page
    std::vector<std::string> components;  // the path split (see split_path)
    std::string_view query;               // what follows '?', as sent
    bool head_only = false;
    bool post = false;  // asked only of routes that take it (body_limit)
};

class route {
public:
    virtual ~route() = default;

    // Whether this route serves the request.
    virtual bool claims(const route_request& request) const = 0;

    // For a POST that this route serves, the most bytes its body may have;
    // 0 (every other request) when it serves none.
    virtual std::size_t body_limit(const route_request& request) const
    {
        (void)request;
        return 0;
    }

    // Fills `rep` completely (a stream for a reply that comes later). Runs on
    // the event loop.
    virtual void serve(const route_request& request, http::reply& rep) = 0;
};

}  // namespace browse
