// Which items of an archive are links, and to what. The library names the
// target of a tar, cpio or rar link in a property of its own; a zip or 7z made
// on Unix marks a symbolic link only in the item's Unix mode and stores the
// target as the item's data, which is read here when it is small.
#pragma once

#include <vector>

#include "archive/com_object.h"
#include "archive/item_details.h"
#include "archive/plugin_interface.h"

// Sets the link fields of `details` from what the library records of item
// `index` (its other fields are read already).
void ReadItemLink(IInArchive* archive, UInt32 index, archive::item_details& details);

namespace archive {

class archive_file;

// The longest target read from a link's data; one stored in more bytes (or
// packed into more) stays unread, and the link is served from its data.
inline constexpr std::uint64_t stored_link_target_limit = 4096;

// Reads the targets of the symbolic links that store them as their data, in
// one extraction. A link whose data cannot be decoded (damaged, or encrypted)
// is taken as the plain item it then is.
void read_stored_link_targets(archive_file& archive, std::vector<item_details>& details);

}  // namespace archive
