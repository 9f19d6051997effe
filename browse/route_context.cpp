// The details listing as it is published.
#include "browse/route_context.h"

namespace browse {

served_bytes published_details::listing_or_wait(waiting_request waiting)
{
    std::lock_guard lock(mutex_);
    if (!details_.plain)
        waiting_.push_back(std::move(waiting));
    return details_;
}

served_bytes published_details::listing()
{
    std::lock_guard lock(mutex_);
    return details_;
}

std::vector<published_details::waiting_request> published_details::publish(served_bytes details,
                                                                           std::shared_ptr<const item_facts> facts)
{
    std::lock_guard lock(mutex_);
    details_ = std::move(details);
    facts_ = std::move(facts);
    return std::move(waiting_);
}

std::shared_ptr<const item_facts> published_details::facts()
{
    std::lock_guard lock(mutex_);
    return facts_;
}

}  // namespace browse
