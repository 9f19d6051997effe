// The selections that a zip is made of: read from the body of the request
// that makes one (a front-coded list of item addresses, one a line: "N:rest",
// where N is how many leading bytes the address shares with the one before),
// and the last few kept for the downloads that name them.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browse/content_tree.h"
#include "browse/item_facts.h"
#include "browse/item_source.h"
#include "browse/item_walk.h"

namespace browse {

struct zip_selection {
    std::vector<search_item> items;  // in index order, paths relative to `folder`
    std::vector<std::string> folder;  // the deepest folder that holds them all, below the root
    std::uint64_t bytes = 0;          // their recorded sizes (known once the details are read)
    // The password that the request making it brought: the download is a plain
    // link, which cannot send one. Kept in memory only, as long as the selection.
    item_password password;
};

// The most lines a selection may have.
inline constexpr std::size_t selection_lines = 100000;

// The items that `body` selects in `tree` (a folder stands for everything
// under it); nothing, with `reason`, when it is malformed or names an address
// that is not there. `facts` (or null) give the sizes.
std::optional<zip_selection> read_selection(const content_tree& tree, std::string_view body, const item_facts* facts,
                                            std::string& reason);

// The last selections made, by id. Used on the event loop only.
class zip_selections {
public:
    static constexpr std::size_t kept = 16;

    // Keeps `selection`, forgetting the oldest beyond `kept`; its id.
    std::string keep(std::shared_ptr<const zip_selection> selection);

    // The selection of `id`; null when it is not (or no longer) kept.
    std::shared_ptr<const zip_selection> find(std::string_view id) const;

private:
    std::deque<std::pair<std::string, std::shared_ptr<const zip_selection>>> kept_;
    std::uint64_t made_ = 0;
};

}  // namespace browse
