// Building the listing and its compressed copy.
#include "browse/served_listing.h"

#include "browse/json_listing.h"
#include "http/gzip.h"

namespace browse {

served_listing build_served_listing(const content_tree& tree)
{
    auto plain = std::make_shared<std::string>();
    write_json(*plain, tree.root());
    auto gzipped = std::make_shared<const std::string>(http::gzip_compress(*plain));
    return {std::move(plain), std::move(gzipped)};
}

}  // namespace browse
