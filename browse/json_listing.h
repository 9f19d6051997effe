// The JSON listing of a content node and its whole subtree: each folder an object
// with its name, its sub-folders (nodes with children) as further objects and its
// files (nodes without children) as plain names, in the tree's name order.
//
// A name is shown as archive::shown_name makes it: a byte that nothing decoded
// (the library's escape, see archive/item_names.h) is U+FFFD. Where that
// differs from the name in the tree, the object also has "address": the tree's
// name, which an item's address must give (percent-encoded as UTF-8, like any
// name); a file of the names listing with one is an object {"name", "address"}
// in place of a plain name. Ordinary names have no "address".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/item_details.h"
#include "browse/content_tree.h"

namespace browse {

// Appends the listing of `node` to `out`; what `out` held before stays in front.
// Names are escaped so that the listing is always strict JSON; the writer keeps
// its own stack, so any depth is fine.
void write_json(std::string& out, const content_node& node);

}  // namespace browse

namespace browse {

// What the details listing adds to the names: each item's details by item
// index, and the archive file's own name and size.
struct listing_details {
    const std::vector<archive::item_details>& items;
    std::string_view archive_name;
    std::uint64_t archive_size = 0;
};

// The same tree in which each file is an object: {"name", then what the archive
// records: "size", "packedSize", "modified" (ISO 8601, UTC), "crc" (8 hex
// digits), "encrypted", for a link "link" ("symbolic" or "hard") and its
// "target" when it is known (a hard link's from the archive's root, a symbolic
// link's as it was made), and "folder": true for a folder item without children}.
// A folder item carries its "modified"; the root carries "archive": {"name",
// "size"}.
void write_json_details(std::string& out, const content_node& node, const listing_details& details);

}  // namespace browse
