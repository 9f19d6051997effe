// How far the first reading of the archive has come, for the viewer: while a
// long read runs (a compressed tarball decoded for the first time, before its
// listing can be made), "/ArchiveContent?progress" answers NDJSON lines as
// the figures change, at most four a second,
//   {"reading":{"name":NAME,"bytes":B,"of_bytes":T,"ms":SINCE_START}}
// and last {"ready":true} once the archive is served, at once when it is.
//
// Shared by the thread that reads the archive (update) and the event loop
// (follow, finish); guarded by its mutex. A client that reads slowly misses
// figures, never holds up the reading.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "browse/route.h"
#include "http/live_stream.h"

namespace browse {

class listing_progress {
public:
    // Whether the archive is served; until set_reading, it is.
    void set_reading();
    bool ready();

    // The figures of the read, as often as the reader likes.
    void update(std::string_view name, std::uint64_t bytes, std::uint64_t total);

    // The archive is served: every follower gets the last line and its end.
    void finish();

    // A stream for a new client, with the latest figures (or the last line) at once.
    std::shared_ptr<http::live_stream> follow();

private:
    void send(const std::string& line);  // to every follower; under the lock

    std::mutex mutex_;
    bool ready_ = true;
    std::string latest_;  // the newest "reading" line, once there is one
    std::vector<std::shared_ptr<http::live_stream>> followers_;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point sent_{};
};

// "/ArchiveContent?progress": the figures of listing_progress.
class progress_route : public route {
public:
    // `progress` outlives the route.
    explicit progress_route(listing_progress& progress) : progress_(progress) {}

    bool claims(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    listing_progress& progress_;
};

}  // namespace browse
