// What the turns of a search, a test or a zip decode. In the served archive,
// a turn is a solid block, decoded once in a block pass that requests for its items may join,
// or a run of items that stand alone; before the archive's blocks are known,
// one turn decodes every item in one pass of the library (which decodes each
// block once too). In an archive inside it, one turn decodes all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "browse/archive_items.h"
#include "browse/item_walk.h"
#include "browse/inner_archives.h"
#include "browse/item_facts.h"

namespace browse {

class served_archive_units : public search_units {
public:
    // A run of items that stand alone ends after this many items or bytes.
    static constexpr std::size_t run_items = 1024;
    static constexpr std::uint64_t run_bytes = std::uint64_t{32} << 20;

    // `items` outlives the walk. `facts` (null before they are read) tell
    // which items are encrypted; those are skipped when `no_password` says
    // that neither the request nor the archive has one.
    served_archive_units(archive_items& items, std::shared_ptr<const item_facts> facts, bool no_password)
        : items_(items), facts_(std::move(facts)), no_password_(no_password)
    {
    }

    std::uint64_t prepare(archive::archive_file* top, std::vector<search_item>& items) override;
    bool run_next(archive::archive_file* top, item_walk& walk) override;
    void with_archive(archive::archive_file* top, const std::function<void(archive::archive_file&)>& use) override;

private:
    struct unit {
        std::optional<std::uint32_t> block;
        std::vector<std::uint32_t> items;
        std::uint64_t bytes = 0;
    };

    archive_items& items_;
    const std::shared_ptr<const item_facts> facts_;
    const bool no_password_;
    std::vector<std::uint32_t> skipped_;  // encrypted, with no password to try
    std::vector<unit> plan_;
    std::size_t next_ = 0;
};

class inner_archive_units : public search_units {
public:
    // `inner` outlives the search.
    inner_archive_units(inner_archives& inner, std::shared_ptr<opened_archive> archive)
        : inner_(inner), archive_(std::move(archive))
    {
    }

    std::uint64_t prepare(archive::archive_file* top, std::vector<search_item>& items) override;
    bool run_next(archive::archive_file* top, item_walk& walk) override;
    void with_archive(archive::archive_file* top, const std::function<void(archive::archive_file&)>& use) override;

private:
    inner_archives& inner_;
    const std::shared_ptr<opened_archive> archive_;
};

}  // namespace browse
