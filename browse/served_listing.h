// The JSON listing of the whole tree as it is served: built once after the
// archive is listed (the tree never changes afterwards), and compressed once for
// the clients that accept gzip.
#pragma once

#include <memory>
#include <string>

#include "browse/content_tree.h"

namespace browse {

struct served_listing {
    std::shared_ptr<const std::string> plain;
    std::shared_ptr<const std::string> gzipped;
};

served_listing build_served_listing(const content_tree& tree);

}  // namespace browse
