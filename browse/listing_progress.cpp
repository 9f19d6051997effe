// The figures of the first reading, sent to whoever follows them.
#include "browse/listing_progress.h"

#include <algorithm>

#include "browse/content_tree.h"
#include "browse/json_text.h"
#include "browse/route_support.h"

namespace browse {
namespace {

constexpr auto send_interval = std::chrono::milliseconds(250);
// Far more than a few lines: a follower this far behind misses figures.
constexpr std::size_t unread_room = 16 * 1024;
const std::string ready_line = "{\"ready\":true}\n";

}  // namespace

void listing_progress::set_reading()
{
    std::lock_guard lock(mutex_);
    ready_ = false;
}

bool listing_progress::ready()
{
    std::lock_guard lock(mutex_);
    return ready_;
}

void listing_progress::update(std::string_view name, std::uint64_t bytes, std::uint64_t total)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    if (ready_)
        return;
    if (started_ == std::chrono::steady_clock::time_point{})
        started_ = now;
    else if (now - sent_ < send_interval && bytes < total)
        return;
    sent_ = now;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - started_).count();
    latest_ = "{\"reading\":{\"name\":\"";
    append_json_escaped(latest_, name);
    latest_ += "\",\"bytes\":" + std::to_string(bytes) + ",\"of_bytes\":" + std::to_string(total) +
               ",\"ms\":" + std::to_string(ms) + "}}\n";
    send(latest_);
}

void listing_progress::finish()
{
    std::lock_guard lock(mutex_);
    ready_ = true;
    send(ready_line);
    for (const std::shared_ptr<http::live_stream>& follower : followers_)
        follower->end();
    followers_.clear();
}

std::shared_ptr<http::live_stream> listing_progress::follow()
{
    auto stream = std::make_shared<http::live_stream>(ndjson_head(), unread_room);
    std::lock_guard lock(mutex_);
    if (ready_) {
        stream->offer(ready_line);
        stream->end();
        return stream;
    }
    if (!latest_.empty())
        stream->offer(latest_);
    followers_.push_back(stream);
    return stream;
}

void listing_progress::send(const std::string& line)
{
    // A follower whose client has gone is dropped; one that is behind misses this line.
    std::erase_if(followers_, [](const std::shared_ptr<http::live_stream>& follower) { return follower->cancelled(); });
    for (const std::shared_ptr<http::live_stream>& follower : followers_)
        follower->offer(line);
}

bool progress_route::claims(const route_request& request) const
{
    return request.components.size() == 1 && request.components[0] == root_name && request.query == "progress";
}

void progress_route::serve(const route_request& request, http::reply& rep)
{
    if (request.head_only) {
        rep = ndjson_head();
        return;
    }
    rep.stream = progress_.follow();
}

}  // namespace browse
