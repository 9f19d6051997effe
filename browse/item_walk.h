// A job that takes items' bytes as they are decoded, in archive order (a
// contents search, a folder's zip), and what its turns decode (item_units):
// the items of the served archive block by block, or those of an archive
// inside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/item_sink.h"
#include "browse/content_tree.h"
#include "browse/item_source.h"

namespace browse {

// An item to decode: its index and its path (from the archive's root for a
// search, from the folder zipped for a zip).
struct search_item {
    std::uint32_t index = 0;
    std::string path;
    bool encrypted = false;  // a search holds its lines until it has decoded whole
};

// The items under `components` (below the root; an item itself too) with
// their paths from the root, in index order; nothing when it is not in the tree.
std::optional<std::vector<search_item>> items_under(const content_tree& tree, const std::vector<std::string>& components);

class item_walk : public archive::items_sink {
public:
    // The items, in index order (fixed once the first turn has prepared them).
    virtual const std::vector<search_item>& items() const = 0;
    virtual const item_password& password() const = 0;

    // An item that will not be decoded (encrypted with no password to try, or
    // not reached by a pass that ended early).
    virtual void skip(std::uint32_t index) = 0;

    // Decodes the items (indices in archive order) of `archive` in passes.
    virtual void decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                        const item_password& password) = 0;

    // Whether the job is over (its client has gone, or it has done enough).
    virtual bool stopped() const = 0;
};

// What the turns of one walk decode, and how: on the archive served or on an
// archive inside it.
class search_units {
public:
    virtual ~search_units() = default;

    // On a worker, before the first turn: drops the items that are folders and
    // gives the sum of the recorded sizes of the others.
    virtual std::uint64_t prepare(archive::archive_file* top, std::vector<search_item>& items) = 0;

    // On a worker: calls `use` with the archive that holds the items (not at
    // all when it could not be opened).
    virtual void with_archive(archive::archive_file* top, const std::function<void(archive::archive_file&)>& use) = 0;

    // On a worker: decodes the next unit of the items into `walk`; false
    // when none was left.
    virtual bool run_next(archive::archive_file* top, item_walk& walk) = 0;
};

}  // namespace browse
