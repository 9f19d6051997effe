// Adding and removing live connections.
#include "http/connection_set.h"

namespace http {

void connection_set::start(const connection_ptr& c)
{
    connections_.insert(c);
    c->start();
}

void connection_set::stop(const connection_ptr& c)
{
    connections_.erase(c);
    c->stop();
}

void connection_set::stop_all()
{
    std::set<connection_ptr> stopping;
    stopping.swap(connections_);
    for (const connection_ptr& c : stopping)
        c->stop();
}

}  // namespace http
