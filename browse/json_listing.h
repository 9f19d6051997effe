// The JSON listing of a content node and its whole subtree: each folder an object
// with its name, its sub-folders (nodes with children) as further objects and its
// files (nodes without children) as plain names, in the tree's name order.
#pragma once

#include <string>

#include "browse/content_tree.h"

namespace browse {

// Appends the listing of `node` to `out`; what `out` held before stays in front.
// Names are escaped so that the listing is always strict JSON; the writer keeps
// its own stack, so any depth is fine.
void write_json(std::string& out, const content_node& node);

}  // namespace browse
