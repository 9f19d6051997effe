// Serving the items that the archive records as links. A symbolic link answers
// with its target as plain text: the target is not followed, as it may lead
// anywhere (the viewer opens it when it names an item). A hard link answers
// with the bytes of the item it names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browse/content_tree.h"
#include "browse/item_facts.h"

namespace browse {

// What a request for an item is served from once its links are seen to.
struct link_resolution {
    bool found = true;         // false: a hard link names no item of the archive
    std::uint32_t item = 0;    // the item whose bytes make the reply
    bool as_text = false;      // a symbolic link: its reply is plain text
    std::shared_ptr<const std::string> target;  // its recorded target, served in place of its data
};

// Follows hard links from item `index` (a few steps at most, so that links
// that name each other end) to the item they name.
link_resolution resolve_links(const content_tree& tree, const item_facts& facts, std::uint32_t index);

}  // namespace browse
