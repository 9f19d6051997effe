// One zip download: the items of a folder or a selection written as a zip
// (zip_writer.h) while they are decoded, in archive order, in the turns that
// its units plan (a solid block is decoded once; nothing is kept in the item
// cache for it). The first turn learns the items' sizes and times and sends
// the head, with the exact Content-Length when every size is known. An item
// that fails to decode, or decodes to another size than the one promised,
// cuts the reply short and is named in the log: a client never gets a whole
// looking zip with a damaged item in it.
//
// Runs in turns on the extraction pool's workers (search_workers); the items
// sink is called on the worker of the turn; wanted() may be asked from any
// thread.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/item_walk.h"
#include "browse/pending_reply.h"
#include "browse/request_log.h"
#include "browse/worker_job.h"
#include "browse/zip_writer.h"
#include "http/live_stream.h"

namespace browse {

class zip_download : public item_walk, public worker_job, private archive::item_sink {
public:
    // What a zip's client may hold unread before the zip waits for it.
    static constexpr std::size_t unread_room = 1 << 20;

    // `items` (paths relative to the folder zipped) go to `reply` with `head`
    // (its status and headers; the length is added); only the head when
    // `head_only`. `log` outlives the download; `shown_prefix` goes before an
    // item's path where the log names it.
    zip_download(std::vector<search_item> items, std::unique_ptr<search_units> units, http::reply head,
                 std::shared_ptr<pending_reply> reply, bool head_only, item_password password, request_log& log,
                 std::string shown_prefix);

    const std::vector<search_item>& items() const override { return items_; }
    const item_password& password() const override { return password_; }
    // An item not decoded cuts the zip there: a pass that ended early has met
    // one that cannot be decoded.
    void skip(std::uint32_t index) override;
    bool ended(std::uint32_t index) const override;
    bool stopped() const override { return failed_ || (out_ && out_->cancelled()); }

    bool run_turn(archive::archive_file* top) override;
    void finish() override;

    archive::item_sink* begin_item(std::uint32_t index) override;
    void end_item(std::uint32_t index, archive::item_status status) override;
    bool wanted() override { return !stopped(); }
    void password_asked() override {}

private:
    bool write(const char* data, std::size_t size) override;
    void start(archive::archive_file* top);
    void cut(std::size_t at, archive::item_status status);

    std::vector<search_item> items_;
    std::unique_ptr<search_units> units_;
    http::reply head_;
    const std::shared_ptr<pending_reply> reply_;
    const bool head_only_;
    const item_password password_;
    request_log& log_;
    const std::string shown_prefix_;

    bool started_ = false;
    std::vector<zip_entry> entries_;  // by position in items_
    std::unordered_map<std::uint32_t, std::size_t> position_;  // of each item index
    std::vector<bool> done_;
    std::size_t finished_ = 0;
    bool exact_ = false;  // a length was promised
    std::shared_ptr<http::live_stream> out_;
    std::optional<zip_writer> writer_;
    std::optional<std::size_t> current_;
    std::atomic<bool> failed_{false};
};

}  // namespace browse
