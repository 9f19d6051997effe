// Zips of the served archive's items: "/ArchiveContent?zip" is a zip of every
// item, "/ArchiveContent/FOLDER?zip" one of the folder's (names relative to
// it), streamed as the items are decoded (zip_download.h). A POST of
// "/ArchiveContent?select" with a list of addresses (zip_selection.h) in its
// body of at most 1 MiB makes a selection and answers
// {"selection":ID,"items":N,"bytes":B}, keeping the password its request brought
// (a download link cannot send one); "/ArchiveContent?zip=ID" is then its
// zip, names relative to the deepest folder that holds it all. The request's
// X-Archive-Password opens encrypted items. A folder inside an archive that
// an item holds ("/ArchiveContent/inner.zip/folder?zip") is zipped too.
#pragma once

#include <string>

#include "browse/archive_items.h"
#include "browse/route.h"
#include "browse/route_context.h"
#include "browse/search_workers.h"
#include "browse/zip_download.h"
#include "browse/zip_selection.h"

namespace browse {

class zip_route : public route {
public:
    static constexpr std::size_t selection_body_limit = 1 << 20;

    // Everything outlives the route. The zip of everything is named after
    // `archive_path` (its file name without the extension).
    zip_route(route_context& context, archive_items& items, search_workers& workers, const std::string& archive_path);

    bool claims(const route_request& request) const override;
    std::size_t body_limit(const route_request& request) const override;
    void serve(const route_request& request, http::reply& rep) override;

private:
    void select(const route_request& request, http::reply& rep);
    // Starts the zip of `items` (paths relative to `folder`) decoded by
    // `units` (null: the served archive's).
    void start(const route_request& request, std::vector<search_item> items, const std::vector<std::string>& folder,
               std::unique_ptr<search_units> units, http::reply& rep,
               const item_password& kept_password = std::nullopt);
    std::shared_ptr<zip_download> make_download(std::vector<search_item> items, const std::vector<std::string>& folder,
                                                std::unique_ptr<search_units> units,
                                                std::shared_ptr<pending_reply> waiting, bool head_only,
                                                item_password password);

    route_context& context_;
    archive_items& items_;
    search_workers& workers_;
    const std::string archive_name_;
    zip_selections selections_;
};

}  // namespace browse
