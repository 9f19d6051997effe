// A folder of the archive asked for at its own address
// ("/ArchiveContent/docs/"): a plain HTML page of links to what it holds, so
// that a browser opened there and a client that mirrors by links (wget -r)
// find its items; a first link opens the folder in the viewer. Asked for
// without its closing slash, it is sent there first, so that the page's
// relative links resolve inside it.
#pragma once

#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "http/reply.h"

namespace browse {

// Whether the node is answered as a folder: the archive's entry of a folder,
// or a node made on the way to deeper items. A file that has items under its
// own name (some tars hold both) stays the file.
bool answered_as_folder(const content_node& node);

// The page of `folder`, whose path from the tree's root is `components`
// (the first being root_name).
http::reply folder_page(const content_node& folder, const std::vector<std::string>& components);

// The redirect from the folder's address without its closing slash to the one with it.
http::reply folder_redirect(const std::vector<std::string>& components);

}  // namespace browse
