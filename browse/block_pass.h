// One pass of a worker over the items of a solid block (or over one item that
// stands alone), in the order the block holds them. Each item it decodes goes to
// the requests waiting for it, streamed as it comes, and into the item cache.
// Once no request waits for an item ahead, the pass goes on only as read-ahead:
// while no other job waits for a worker and until it has decoded half the
// cache's budget beyond the last item asked for; an item whose every client has
// gone is not finished for them. A request for an item the pass has yet to
// reach joins it instead of starting a pass of its own, when it brings the
// same password; so does one for the item being decoded, when it is kept
// whole: it gets the bytes kept so far, then the rest as they come. Once the library has asked for a password that a request
// brought, what the pass decodes is cached for that password only.
//
// A pass made for a search has a tap: an items sink that sees every item of
// the block. It decodes the whole block while the tap wants it, reads nothing
// ahead, and keeps in the cache only the items that requests waited for.
//
// Shared by the source that made it and the job that runs it; the requests,
// the position and the read-ahead count are guarded by the mutex (the library
// may ask whether to go on from another thread than the one that writes); what
// is kept of the current item belongs to the writing thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "archive/extraction_pool.h"
#include "archive/item_sink.h"
#include "browse/item_cache.h"
#include "browse/item_source.h"

namespace browse {

class block_pass : public archive::items_sink, private archive::item_sink {
public:
    // `items` in the order the block holds them, decoded with `password`. The
    // pool and the cache outlive the pass, and `tap` (a search's, or null) the run.
    block_pass(std::vector<std::uint32_t> items, item_password password, item_cache& cache,
               archive::extraction_pool& pool, archive::items_sink* tap = nullptr);

    // Adds a request for an item this pass has yet to reach or is keeping
    // whole; false when it has passed it, does not hold it, is ending, or
    // decodes with another password.
    bool join(std::uint32_t index, std::shared_ptr<item_receiver> receiver, const item_password& password);

    // Runs the pass through `archive` (null: it could not be opened). Requests
    // left waiting when it ends fail: for want of the right password when an
    // item of the pass failed for it (the library stops at the first one), else
    // as the damaged block that stopped it.
    void run(archive::archive_file* archive);

    // The archive's side.
    archive::item_sink* begin_item(std::uint32_t index) override;
    void end_item(std::uint32_t index, archive::item_status status) override;
    bool wanted() override;
    void password_asked() override;

private:
    bool write(const char* data, std::size_t size) override;  // the current item's bytes
    std::vector<std::shared_ptr<item_receiver>> current_receivers();
    // Hands the requests that joined the current item late what is kept of it
    // so far and makes them its receivers; `closing`: none may join after.
    void admit_late(bool closing);

    const std::vector<std::uint32_t> items_;
    const item_password password_;
    item_cache& cache_;
    archive::extraction_pool& pool_;
    archive::items_sink* const tap_;

    std::mutex mutex_;
    std::map<std::uint32_t, std::vector<std::shared_ptr<item_receiver>>> waiting_;  // items not yet begun
    std::size_t position_ = 0;  // items_[position_ - 1] is the last begun
    bool ending_ = false;
    std::vector<std::shared_ptr<item_receiver>> receivers_;  // of the item being decoded
    std::optional<std::uint32_t> keeping_;  // the item being decoded, while it is kept whole
    std::vector<std::shared_ptr<item_receiver>> late_;  // joined it after it began
    std::uint64_t ahead_ = 0;  // bytes decoded since the last item asked for
    archive::item_status password_failure_ = archive::item_status::ok;  // an item's, when the password failed it

    // The writing thread's: its archive and the current item's bytes when they
    // are kept for the cache (shared with the receivers, which send views of it).
    archive::archive_file* archive_ = nullptr;
    std::shared_ptr<std::string> kept_;
    std::optional<std::uint64_t> size_;  // the current item's, as the archive records it
    archive::item_sink* tap_item_ = nullptr;  // where the tap takes the current item's bytes
    std::atomic<bool> password_asked_{false};  // set by whichever thread the library asks on
};

}  // namespace browse
