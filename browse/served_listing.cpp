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

served_bytes build_names_listing(const content_tree& tree)
{
    std::string names;
    write_json(names, tree.root());
    return serve(std::move(names));
}

served_bytes build_details_listing(const content_tree& tree, const listing_details& details)
{
    std::string with_details;
    write_json_details(with_details, tree.root(), details);
    return serve(std::move(with_details));
}

}  // namespace browse
