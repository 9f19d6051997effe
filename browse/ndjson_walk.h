// What the walks that write NDJSON as they decode share (a contents search, a
// test of the archive): their items and the position of each, the units of
// their turns, the stream their lines go to, which items are done, the bytes
// decoded, and the paced progress lines. A walk prepares its items on its
// first turn and then decodes a unit a turn; the lines about items and the
// last line are its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/item_walk.h"
#include "browse/worker_job.h"
#include "http/live_stream.h"

namespace browse {

class ndjson_walk : public worker_job, public item_walk {
public:
    const std::vector<search_item>& items() const override { return items_; }
    const item_password& password() const override { return password_; }
    bool ended(std::uint32_t index) const override;
    bool stopped() const override { return stopped_ || out_->cancelled(); }

    bool run_turn(archive::archive_file* top) override;

protected:
    // Lines go to `out`; `items` are decoded in index order with `password`.
    ndjson_walk(std::vector<search_item> items, std::unique_ptr<search_units> units,
                std::shared_ptr<http::live_stream> out, item_password password);

    // Counts the item at `position` (in items()) as done.
    void mark_done(std::size_t position);
    // Sends a progress line when one is due (always with `now`).
    void send_progress(bool now);
    // Sends `line`; a client that has gone stops the walk.
    void send(const std::string& line);
    // Sends `line` as the last and ends the reply, unless the client has gone.
    void send_last(const std::string& line);
    // Milliseconds since the walk was made.
    std::uint64_t elapsed_ms() const;

    std::vector<search_item> items_;
    std::unordered_map<std::uint32_t, std::size_t> position_;  // of each item index in items_
    const std::shared_ptr<http::live_stream> out_;
    std::atomic<bool> stopped_{false};
    std::uint64_t finished_ = 0;  // items done
    std::uint64_t bytes_ = 0;     // decoded
    std::string line_;            // scratch for one output line

private:
    std::unique_ptr<search_units> units_;
    const item_password password_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    bool prepared_ = false;
    std::uint64_t total_bytes_ = 0;
    std::vector<bool> done_;  // by position
    progress_pace pace_;
};

}  // namespace browse
