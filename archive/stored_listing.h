// An archive's listing as list_items() gives it (each item's index, decoded
// path and whether it is a folder, and how the names were decoded), kept in
// the lasting index: a second start lists a compressed tarball from it while
// the tar handler is still reading its headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/item_names.h"

namespace archive {

struct stored_item {
    std::uint32_t index = 0;
    bool folder = false;
    std::string path;
};

struct stored_listing {
    std::uint32_t item_count = 0;  // what the handler counts, whether listed or not
    std::uint32_t code_page = 0;   // the names code page the listing was made with (0: detected)
    names_outcome names;
    std::vector<stored_item> items;  // in the order list_items() visits them
};

// The listing of the open `archive`, with its names code page.
stored_listing record_listing(const archive_file& archive);

// The listing's bytes in the lasting index, and the listing of such bytes
// (nothing when they are not a sound one).
std::string listing_to_bytes(const stored_listing& listing);
std::optional<stored_listing> listing_from_bytes(const std::string& bytes);

}  // namespace archive
