// Writing a zip of items as they are decoded.
#include "browse/zip_download.h"

#include "browse/zip_entry_name.h"

namespace browse {
namespace {

// Seconds since 1970 of a time in 100-nanosecond intervals since 1601.
std::int64_t unix_seconds(std::uint64_t filetime)
{
    return static_cast<std::int64_t>(filetime / 10000000) - 11644473600;
}

}  // namespace

zip_download::zip_download(std::vector<search_item> items, std::unique_ptr<search_units> units, http::reply head,
                           std::shared_ptr<pending_reply> reply, bool head_only, item_password password,
                           request_log& log, std::string shown_prefix)
    : items_(std::move(items)),
      units_(std::move(units)),
      head_(std::move(head)),
      reply_(std::move(reply)),
      head_only_(head_only),
      password_(std::move(password)),
      log_(log),
      shown_prefix_(std::move(shown_prefix))
{
}

bool zip_download::run_turn(archive::archive_file* top)
{
    if (!started_) {
        start(top);
        if (head_only_)
            return false;
    }
    if (stopped())
        return false;
    return units_->run_next(top, *this) && !stopped();
}

void zip_download::start(archive::archive_file* top)
{
    started_ = true;
    units_->prepare(top, items_);
    entries_.resize(items_.size());
    done_.assign(items_.size(), false);
    units_->with_archive(top, [this](archive::archive_file& archive) {
        for (std::size_t at = 0; at < items_.size(); ++at) {
            zip_entry& entry = entries_[at];
            entry.name = zip_entry_name(items_[at].path);
            std::uint64_t value = 0;
            if (archive.item_size(items_[at].index, value))
                entry.size = value;
            if (archive.item_modified(items_[at].index, value))
                entry.modified = unix_seconds(value);
        }
    });
    for (std::size_t at = 0; at < items_.size(); ++at)
        position_[items_[at].index] = at;
    const std::optional<std::uint64_t> length = zip_length(entries_);
    exact_ = length.has_value();
    if (length)
        head_.headers.push_back({"Content-Length", std::to_string(*length)});
    if (head_only_) {
        reply_->complete(std::move(head_));
        return;
    }
    out_ = make_job_stream(std::move(head_), unread_room);
    writer_.emplace(entries_, [out = out_](std::string_view bytes) { return out->write(bytes); });
    reply_->forward(out_);
}

void zip_download::skip(std::uint32_t index)
{
    const auto found = position_.find(index);
    if (found != position_.end() && !done_[found->second])
        cut(found->second, archive::item_status::failed);
}

bool zip_download::ended(std::uint32_t index) const
{
    const auto found = position_.find(index);
    return found == position_.end() || done_[found->second];
}

archive::item_sink* zip_download::begin_item(std::uint32_t index)
{
    current_.reset();
    const auto found = position_.find(index);
    if (found == position_.end() || done_[found->second] || stopped())
        return nullptr;
    if (!writer_->begin(found->second)) {
        failed_ = true;  // the client has gone
        return nullptr;
    }
    current_ = found->second;
    return this;
}

bool zip_download::write(const char* data, std::size_t size)
{
    if (stopped())
        return false;
    if (!writer_->write(data, size))
        failed_ = true;
    return !stopped();
}

void zip_download::end_item(std::uint32_t index, archive::item_status status)
{
    const auto found = position_.find(index);
    if (found == position_.end() || done_[found->second] || stopped())
        return;
    const std::size_t at = found->second;
    if (current_ != at || status != archive::item_status::ok) {
        // Never begun (the library only tested it) or not decoded whole.
        cut(at, status == archive::item_status::ok ? archive::item_status::failed : status);
        return;
    }
    current_.reset();
    if (!writer_->end(exact_)) {
        cut(at, archive::item_status::failed);  // another size than the one promised
        return;
    }
    done_[at] = true;
    ++finished_;
}

void zip_download::cut(std::size_t at, archive::item_status status)
{
    if (failed_.exchange(true))
        return;
    log_.download_cut(shown_prefix_ + items_[at].path, status);
    if (out_)
        out_->fail();
}

void zip_download::finish()
{
    if (head_only_ || !out_ || out_->cancelled())
        return;
    if (!failed_ && finished_ != items_.size()) {
        for (std::size_t at = 0; at < items_.size(); ++at) {
            if (!done_[at]) {
                cut(at, archive::item_status::failed);
                break;
            }
        }
    }
    if (failed_) {
        out_->fail();
        return;
    }
    if (writer_->finish())
        out_->end();
}

}  // namespace browse
