// Filling a content tree from an opened archive: every item at its path, folder
// entries told from files, and the copies of shared paths named once all are in.
#pragma once

#include "archive/archive_file.h"
#include "archive/stored_listing.h"
#include "browse/content_tree.h"

namespace browse {

// Lists every item of `archive` into `tree`, then places the copies; tells how
// the names were decoded.
archive::names_outcome list_archive(const archive::archive_file& archive, content_tree& tree);

// The same from a listing that the lasting index kept.
archive::names_outcome list_stored(const archive::stored_listing& listing, content_tree& tree);

}  // namespace browse
