// The item source backed by the open archive: extracts each item in full on the
// calling thread.
#pragma once

#include "archive/archive_file.h"
#include "browse/item_source.h"

namespace browse {

class archive_items : public item_source {
public:
    // `archive` belongs to the caller and outlives this object.
    explicit archive_items(archive::archive_file& archive) : archive_(archive) {}

    archive::item_status fetch(std::uint32_t index, std::string& body) override;

private:
    archive::archive_file& archive_;
};

}  // namespace browse
