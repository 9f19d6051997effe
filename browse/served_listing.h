// The JSON listings of the whole tree as they are served: built once after the
// archive is listed (the tree never changes afterwards), and compressed once for
// the clients that accept gzip. The plain listing has names only; the details
// listing adds what the archive records of each item.
#pragma once

#include <memory>
#include <string>

#include "browse/content_tree.h"
#include "browse/json_listing.h"

namespace browse {

struct served_bytes {
    std::shared_ptr<const std::string> plain;
    std::shared_ptr<const std::string> gzipped;
};

// The listing of names only.
served_bytes build_names_listing(const content_tree& tree);

// The listing with what the archive records of each item.
served_bytes build_details_listing(const content_tree& tree, const listing_details& details);

}  // namespace browse
