// The bookkeeping and the lines that NDJSON walks share.
#include "browse/ndjson_walk.h"

namespace browse {

ndjson_walk::ndjson_walk(std::vector<search_item> items, std::unique_ptr<search_units> units,
                         std::shared_ptr<http::live_stream> out, item_password password)
    : items_(std::move(items)), out_(std::move(out)), units_(std::move(units)), password_(std::move(password))
{
}

bool ndjson_walk::run_turn(archive::archive_file* top)
{
    if (stopped())
        return false;
    if (!prepared_) {
        prepared_ = true;
        total_bytes_ = units_->prepare(top, items_);
        done_.assign(items_.size(), false);
        for (std::size_t i = 0; i < items_.size(); ++i)
            position_[items_[i].index] = i;
        send_progress(true);
    }
    return units_->run_next(top, *this) && !stopped();
}

bool ndjson_walk::ended(std::uint32_t index) const
{
    const auto found = position_.find(index);
    return found == position_.end() || done_[found->second];
}

void ndjson_walk::mark_done(std::size_t position)
{
    done_[position] = true;
    ++finished_;
}

void ndjson_walk::send_progress(bool now)
{
    if (!pace_.due(now))
        return;
    line_.clear();
    append_progress_line(line_, finished_, bytes_, items_.size(), total_bytes_);
    send(line_);
}

void ndjson_walk::send(const std::string& line)
{
    if (!out_->write(line))
        stopped_ = true;
}

void ndjson_walk::send_last(const std::string& line)
{
    if (!out_->cancelled() && out_->write(line))
        out_->end();
}

std::uint64_t ndjson_walk::elapsed_ms() const
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count());
}

}  // namespace browse
