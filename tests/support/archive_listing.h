// Helpers for tests that open real archives through the archive side.
#pragma once

#include "archive/archive_file.h"
#include "browse/content_tree.h"

#include <cstdint>
#include <map>
#include <string>

namespace test_support {

// The installed plug-in library, loaded once per test process with the
// start-up's extra reference.
CCodecs& installed_library();

// Opens `path` in `file` with the installed library and lists its items into
// `tree` as the program does.
archive::open_outcome open_and_list(archive::archive_file& file, const std::string& path,
                                    browse::content_tree& tree);

// Every node of the tree that holds an item: its path from the root (components
// joined by '/', "" for the root) and the item's index.
std::map<std::string, std::uint32_t> items_of(const browse::content_tree& tree);

}  // namespace test_support
