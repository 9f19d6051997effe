// The item source backed by the archive. An item comes from the item cache when
// it is there; else a worker of the extraction pool decodes it in a pass over
// the solid block that holds it (see block_pass), which a request for an item
// the pass has yet to reach joins, when it brings the same password.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "archive/extraction_pool.h"
#include "browse/block_layout.h"
#include "browse/block_pass.h"
#include "browse/item_cache.h"
#include "browse/item_source.h"

namespace browse {

class archive_items : public item_source {
public:
    // The pool and the cache belong to the caller and outlive every job of the
    // pool.
    archive_items(archive::extraction_pool& pool, item_cache& cache) : pool_(pool), cache_(cache) {}

    // Learns which items share a block; until then each item stands alone. May
    // be called from any thread.
    void set_layout(block_layout layout);

    void fetch(std::uint32_t index, std::shared_ptr<item_receiver> receiver, const item_password& password) override;
    std::shared_ptr<const std::string> at_hand(std::uint32_t index, const item_password& password) override
    {
        return cache_.find(index, password);
    }

    // Which items share a block; null until set_layout.
    std::shared_ptr<const block_layout> layout();

    // On a worker, for a search: decodes the whole of `block` through
    // `archive` in a pass that `tap` sees every item of; requests for items
    // the pass has yet to reach join it. What it decodes is kept in the cache
    // only for the requests that joined.
    void search_block(std::uint32_t block, archive::archive_file& archive, archive::items_sink& tap,
                      const item_password& password);

    // How many passes have been started: a measure for tests.
    std::uint64_t passes_started();

private:
    archive::extraction_pool& pool_;
    item_cache& cache_;

    std::mutex mutex_;  // guards the three below
    std::shared_ptr<const block_layout> layout_;
    std::map<std::uint32_t, std::weak_ptr<block_pass>> running_;  // the newest pass of each block
    std::uint64_t passes_started_ = 0;
};

}  // namespace browse
