// Loading the installed library and reading a content tree back.
#include "tests/support/archive_listing.h"

#include "browse/archive_tree.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace test_support {

CCodecs& installed_library()
{
    static CCodecs* codecs = [] {
        auto* loaded = new CCodecs;  // kept for the whole test process
        EXPECT_EQ(loaded->LoadFromFolder(AString("/usr/lib/p7zip/")), S_OK);
        loaded->AddRef();
        return loaded;
    }();
    return *codecs;
}

archive::open_outcome open_and_list(archive::archive_file& file, const std::string& path,
                                    browse::content_tree& tree)
{
    const archive::open_outcome outcome = file.open(installed_library(), path);
    browse::list_archive(file, tree);
    return outcome;
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
