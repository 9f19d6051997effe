// The viewer's page files: every path that does not start with the archive's
// root name is a file under the page folder ("/" and folders give their
// index.html), kept in memory until it changes on disk.
#pragma once

#include <string>

#include "browse/page_cache.h"
#include "browse/route.h"

namespace browse {

class page_route : public route {
public:
    // `page_folder` is a path prefix ending in '/' ("HTML/" by default).
    explicit page_route(std::string page_folder) : page_folder_(std::move(page_folder)) {}

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    std::string page_folder_;
    page_cache pages_;
};

}  // namespace browse
