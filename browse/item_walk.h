// What decodes every one of a list of items in archive order, in turns (a
// contents search, a test of the archive, a folder's zip), and the units that
// say what one turn decodes (search_units.h): on the archive served or on one
// inside it.
#pragma once

#include <chrono>
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

// An item to decode: its index and its path (from the archive's root, or for
// a zip from the folder zipped).
struct search_item {
    std::uint32_t index = 0;
    std::string path;
    bool encrypted = false;  // a search holds its lines until it has decoded whole
};

// The items under `components` (below the root; an item itself too) with
// their paths from the root, in index order; nothing when it is not in the tree.
std::optional<std::vector<search_item>> items_under(const content_tree& tree, const std::vector<std::string>& components);

// The items sink of a walk, with what the units ask of it.
class item_walk : public archive::items_sink {
public:
    // The items, in index order (fixed once the first turn has prepared them).
    virtual const std::vector<search_item>& items() const = 0;
    virtual const item_password& password() const = 0;

    // Counts an item as not decoded: it cannot be (encrypted with no password
    // to try, or where a pass stopped).
    virtual void skip(std::uint32_t index) = 0;

    // Whether item `index` has ended or been skipped, or is none of the walk's.
    virtual bool ended(std::uint32_t index) const = 0;

    // Whether the walk is over: its client has gone, or it needs no more.
    virtual bool stopped() const = 0;

    // Decodes the items (indices in archive order) with `password` in passes
    // of `archive`, going on past an item that stopped a pass (skipped).
    void decode(archive::archive_file& archive, const std::vector<std::uint32_t>& indices,
                const item_password& password);
};

// The start of a walk's line about an item: `{"item":SHOWN` (the path as the
// listing shows it), and `,"address":PATH` when the item's address differs.
// Left open for the line's other keys.
void append_item_key(std::string& out, const std::string& path);

// When a walk's progress line is due: at most four a second.
class progress_pace {
public:
    // Whether a line is due now (always with `now`); if so, the next is counted from here.
    bool due(bool now);

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// {"progress":{"items":I,"bytes":B,"of_items":TI,"of_bytes":TB}} and its line end.
void append_progress_line(std::string& out, std::uint64_t items, std::uint64_t bytes, std::uint64_t of_items,
                          std::uint64_t of_bytes);

// What the turns of one walk decode, and how.
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
