// Helpers for tests that open real archives through the program's archive side.
#pragma once

#include "browse/content_tree.h"

#include <cstdint>
#include <map>
#include <string>

namespace test_support {

// Loads the installed plug-in library into the program's registry, once per
// process, with the start-up's extra reference.
void load_installed_library();

// Every node of the tree that holds an item: its path from the root (components
// joined by '/', "" for the root) and the item's index.
std::map<std::string, std::uint32_t> items_of(const browse::content_tree& tree);

}  // namespace test_support
