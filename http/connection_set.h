// The live connections of the server, so that each stays owned while it works.
#pragma once

#include <set>

#include "http/connection.h"

namespace http {

class connection_set {
public:
    // Adds the connection and starts it.
    void start(const connection_ptr& c);

    // Removes the connection and stops it.
    void stop(const connection_ptr& c);

    // Stops every connection.
    void stop_all();

private:
    std::set<connection_ptr> connections_;
};

}  // namespace http
