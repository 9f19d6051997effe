// Loading the installed library and reading a content tree back.
#include "tests/support/archive_listing.h"

#include "archive/program_archive.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace test_support {

void load_installed_library()
{
    if (!program_codecs().FormatList.IsEmpty())
        return;
    ASSERT_EQ(program_codecs().LoadFromFolder(AString("/usr/lib/p7zip/")), S_OK);
    program_codecs().AddRef();
}

std::map<std::string, std::uint32_t> items_of(const browse::content_tree& tree)
{
    std::map<std::string, std::uint32_t> items;
    std::vector<std::pair<const browse::content_node*, std::string>> pending{{&tree.root(), ""}};
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        if (node->holds_item())
            items[path] = node->item_index();
        for (const browse::content_node* child : node->children())
            pending.emplace_back(child, path.empty() ? std::string(child->name()) : path + "/" + std::string(child->name()));
    }
    return items;
}

}  // namespace test_support
