// Fuzz target for path splitting, the content tree and its JSON listing. The
// input is a list of item paths, one per line. Every component is a proper name,
// every inserted path is found again with its index, siblings are in byte order,
// and the listing is strict JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "browse/content_tree.h"
#include "browse/json_listing.h"
#include "tests/support/strict_json.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void check_sorted(const browse::content_node& node)
{
    std::vector<const browse::content_node*> pending{&node};
    while (!pending.empty()) {
        const browse::content_node* current = pending.back();
        pending.pop_back();
        const auto& children = current->children();
        for (std::size_t i = 0; i < children.size(); ++i) {
            check(children[i]->parent() == current);
            if (i > 0)
                check(children[i - 1]->name() < children[i]->name());
            pending.push_back(children[i]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> paths;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        paths.push_back(input.substr(start, end - start));
        start = end + 1;
    }

    browse::content_tree tree;
    for (std::size_t i = 0; i < paths.size(); ++i)
        tree.add_item(paths[i], static_cast<std::uint32_t>(i));

    std::vector<std::string> components;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        browse::split_path(paths[i], components);
        for (const std::string& component : components)
            check(!component.empty() && component != "." && component != ".." &&
                  component.find_first_of("/\\") == std::string::npos);
        components.insert(components.begin(), std::string(browse::root_name));
        const browse::content_node* node = tree.find_node(components);
        check(node && node->holds_item());
        // A later path that ends at the same node overwrites the index.
        check(node->item_index() >= i);
    }
    check_sorted(tree.root());

    std::string listing;
    browse::write_json(listing, tree.root());
    check(test_support::parse_strict_json(listing).has_value());
    return 0;
}
