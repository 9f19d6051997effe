// The file objects of a JSON listing (/ArchiveContent, ?details), by path.
#pragma once

#include <map>
#include <string>

#include "tests/support/strict_json.h"

namespace test_support {

// Every file object under `folder`, keyed by its path from it (components
// joined by '/'); the pointers lead into `folder`.
std::map<std::string, const json_value*> listing_files(const json_value& folder);

}  // namespace test_support
