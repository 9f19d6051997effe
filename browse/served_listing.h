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

struct served_listing {
    served_bytes names;
    served_bytes details;
};

served_listing build_served_listing(const content_tree& tree, const listing_details& details);

}  // namespace browse
