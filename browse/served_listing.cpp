// Building the listings and their compressed copies.
#include "browse/served_listing.h"

#include "http/gzip.h"

namespace browse {
namespace {

served_bytes serve(std::string listing)
{
    auto gzipped = std::make_shared<const std::string>(http::gzip_compress(listing));
    return {std::make_shared<const std::string>(std::move(listing)), std::move(gzipped)};
}

}  // namespace

served_listing build_served_listing(const content_tree& tree, const listing_details& details)
{
    std::string names, with_details;
    write_json(names, tree.root());
    write_json_details(with_details, tree.root(), details);
    return {serve(std::move(names)), serve(std::move(with_details))};
}

}  // namespace browse
