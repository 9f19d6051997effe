// Listing an archive into its tree.
#include "browse/archive_tree.h"

namespace browse {

archive::names_outcome list_archive(const archive::archive_file& archive, content_tree& tree)
{
    archive::names_outcome names = archive.list_items([&archive, &tree](std::string_view path, std::uint32_t index) {
        tree.add_item(path, index, archive.item_is_folder(index));
    });
    tree.place_copies();
    return names;
}

archive::names_outcome list_stored(const archive::stored_listing& listing, content_tree& tree)
{
    for (const archive::stored_item& item : listing.items)
        tree.add_item(item.path, item.index, item.folder);
    tree.place_copies();
    return listing.names;
}

}  // namespace browse
