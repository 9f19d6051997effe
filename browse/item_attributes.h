// The text of an item's attributes as the details listing shows them: the
// letters of its Windows attributes ("RHSDA" order) and, where the archive
// records a Unix mode, that mode as "ls -l" writes it ("-rwxr-xr-x"), with a
// space between the two when both are there.
#pragma once

#include <string>

#include "archive/item_details.h"

namespace browse {

// Empty when the item records neither, or only attributes without a letter.
std::string attributes_text(const archive::item_details& item);

// The ten characters of a Unix mode: its type, then its permissions.
std::string unix_mode_text(std::uint32_t mode);

}  // namespace browse
