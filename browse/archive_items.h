// The item source backed by the archive: each item is extracted by a worker of
// the extraction pool, straight into its receiver.
#pragma once

#include "archive/extraction_pool.h"
#include "browse/item_source.h"

namespace browse {

class archive_items : public item_source {
public:
    // `pool` belongs to the caller and outlives this object.
    explicit archive_items(archive::extraction_pool& pool) : pool_(pool) {}

    void fetch(std::uint32_t index, std::shared_ptr<item_receiver> receiver) override;

private:
    archive::extraction_pool& pool_;
};

}  // namespace browse
