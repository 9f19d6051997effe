#include "browse/content_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "tests/support/archive_listing.h"

using browse::content_node;
using browse::content_tree;
using browse::split_path;

namespace {

std::vector<std::string> names_of(const content_node& node)
{
    std::vector<std::string> names;
    for (const content_node* child : node.children())
        names.emplace_back(child->name());
    return names;
}

std::vector<std::string> split(std::string_view path)
{
    std::vector<std::string> components{"left over"};
    split_path(path, components);
    return components;
}

}  // namespace

TEST(SplitPath, SeparatorsDotsAndEmptyComponents)
{
    using list = std::vector<std::string>;
    struct row {
        std::string_view path;
        list expected;
    };
    const row table[] = {
        {"a/b\\c", {"a", "b", "c"}},
        {"/a//b/", {"a", "b"}},
        {"./a/./b", {"a", "b"}},
        {"a/../b", {"b"}},
        {"../../a", {"a"}},
        {"a/b/..", {"a"}},
        {"", {}},
        {"/", {}},
        {".", {}},
        {"..", {}},
        {"... / x", {"... ", " x"}},
        {std::string_view("a\0b/c", 5), {std::string("a\0b", 3), "c"}},
    };
    for (const row& r : table)
        EXPECT_EQ(split(r.path), r.expected) << "path: " << r.path;
}

TEST(ContentTree, InsertionBuildsSortedTreeAndKeepsIndices)
{
    content_tree tree;
    tree.add_item("dir/a.txt", 0);
    tree.add_item("dir", 1);
    tree.add_item("b.txt", 2);

    const content_node& root = tree.root();
    EXPECT_EQ(root.name(), "ArchiveContent");
    ASSERT_EQ(names_of(root), (std::vector<std::string>{"b.txt", "dir"}));
    EXPECT_EQ(root.children()[0]->item_index(), 2u);
    EXPECT_EQ(root.children()[1]->item_index(), 1u);
    const content_node* dir = root.find_child("dir");
    ASSERT_NE(dir, nullptr);
    ASSERT_EQ(names_of(*dir), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(dir->children()[0]->item_index(), 0u);
    EXPECT_EQ(dir->children()[0]->parent(), dir);
}

TEST(ContentTree, AncestorsHoldNoItemUntilTheirOwnPathArrives)
{
    content_tree tree;
    tree.add_item("dir/a.txt", 5);
    const content_node* dir = tree.root().find_child("dir");
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(dir->item_index(), 0u);
    EXPECT_FALSE(dir->holds_item());
    EXPECT_FALSE(tree.root().holds_item());

    tree.add_item("dir/", 9);
    EXPECT_TRUE(dir->holds_item());
    EXPECT_EQ(dir->item_index(), 9u);

    tree.add_item("dir/a.txt", 11);  // the later insertion wins
    EXPECT_EQ(dir->find_child("a.txt")->item_index(), 11u);

    tree.add_item("", 7);  // an item without a path ends at the root
    EXPECT_TRUE(tree.root().holds_item());
    EXPECT_EQ(tree.root().item_index(), 7u);
}

TEST(ContentTree, SiblingsEndInByteOrderWhateverTheInsertionOrder)
{
    std::vector<std::string> names = {"a.txt", "B", "a b", "a", "file10", "file2", "\xc3\xa9t\xc3\xa9", "Z", "~"};
    const std::vector<std::string> expected = {"B", "Z", "a", "a b", "a.txt", "file10", "file2", "~", "\xc3\xa9t\xc3\xa9"};
    std::mt19937 random(42);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(names.begin(), names.end(), random);
        content_tree tree;
        for (std::uint32_t i = 0; i < names.size(); ++i)
            tree.add_item(names[i], i);
        EXPECT_EQ(names_of(tree.root()), expected);
        // Sorting after reads keeps working when more children arrive.
        tree.add_item("0", 99);
        EXPECT_EQ(names_of(tree.root()).front(), "0");
    }
}

TEST(ContentTree, SeparatorsAndDotsReachTheSameNode)
{
    content_tree tree;
    for (std::string_view path : {"a\\b", "a/b", "/a/b", "a//b", "a/./b"})
        tree.add_item(path, 1);
    tree.add_item("Dir/x", 2);
    tree.add_item("dir/y", 3);
    tree.add_item("../etc/x", 4);
    EXPECT_EQ(names_of(tree.root()), (std::vector<std::string>{"Dir", "a", "dir", "etc"}));
    EXPECT_EQ(names_of(*tree.root().find_child("a")), (std::vector<std::string>{"b"}));
    EXPECT_EQ(tree.find_node({"ArchiveContent", "etc", "x"})->item_index(), 4u);
}

TEST(ContentTree, FindNodeFollowsComponentsByteForByte)
{
    content_tree tree;
    tree.add_item("dir/a.txt", 3);
    tree.add_item("b.txt", 4);
    EXPECT_EQ(tree.find_node({"ArchiveContent"}), &tree.root());
    EXPECT_EQ(tree.find_node({"ignored", "dir", "a.txt"})->item_index(), 3u);
    EXPECT_EQ(tree.find_node({"ArchiveContent", "DIR"}), nullptr);
    EXPECT_EQ(tree.find_node({"ArchiveContent", "b.txt", "x"}), nullptr);
    EXPECT_EQ(tree.find_node({"ArchiveContent", "dir", "a.tx"}), nullptr);
    EXPECT_EQ(tree.find_node({"ArchiveContent", "dir", "a.txt", ""}), nullptr);
}

TEST(ContentTree, VeryDeepPathIsBuiltFoundAndDestroyed)
{
    constexpr int depth = 100000;
    std::string path;
    std::vector<std::string> components{"ArchiveContent"};
    for (int i = 0; i < depth; ++i) {
        path += "d/";
        components.push_back("d");
    }
    auto tree = std::make_unique<content_tree>();
    tree->add_item(path, 12);
    const content_node* deepest = tree->find_node(components);
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(deepest->item_index(), 12u);
    tree.reset();  // must not overflow the stack
}

TEST(ContentTree, EveryItemOfASharedPathGetsANameOfItsOwn)
{
    struct insertion {
        std::string_view path;
        std::uint32_t index;
        bool folder;
    };
    using items = std::map<std::string, std::uint32_t>;
    struct row {
        const char* what;
        std::vector<insertion> insertions;
        items expected;  // every node that holds an item, by path
    };
    const row table[] = {
        {"three versions: the last keeps the path, the others are numbered in archive order",
         {{"dir/a.txt", 0, false}, {"dir/a.txt", 1, false}, {"dir/a.txt", 2, false}},
         {{"dir/a.txt", 2}, {"dir/a (copy 1 of 3).txt", 0}, {"dir/a (copy 2 of 3).txt", 1}}},
        {"separators and dots that lead to the same path make copies too",
         {{"a/b", 0, false}, {"a\\b", 1, false}, {"./a//b", 2, false}},
         {{"a/b", 2}, {"a/b (copy 1 of 3)", 0}, {"a/b (copy 2 of 3)", 1}}},
        {"a real sibling with the copy name keeps it, inserted before or after",
         {{"a (copy 1 of 2).txt", 7, false}, {"a.txt", 0, false}, {"a.txt", 1, false},
          {"a (copy 1 of 2) (2).txt", 8, false}},
         {{"a.txt", 1}, {"a (copy 1 of 2).txt", 7}, {"a (copy 1 of 2) (2).txt", 8}, {"a (copy 1 of 2) (3).txt", 0}}},
        {"copy names of two shared paths do not collide",
         {{"a.txt", 0, false}, {"a.txt", 1, false}, {"a (copy 1 of 2).txt", 2, false}, {"a (copy 1 of 2).txt", 3, false}},
         {{"a.txt", 1},
          {"a (copy 1 of 2).txt", 3},
          {"a (copy 1 of 2) (2).txt", 0},
          {"a (copy 1 of 2) (copy 1 of 2).txt", 2}}},
        {"the mark goes before the last extension; a leading dot is no extension",
         {{"README", 0, false}, {"README", 1, false}, {".profile", 2, false}, {".profile", 3, false},
          {"x.tar.gz", 4, false}, {"x.tar.gz", 5, false}, {"v1.", 6, false}, {"v1.", 7, false}},
         {{"README", 1}, {"README (copy 1 of 2)", 0}, {".profile", 3}, {".profile (copy 1 of 2)", 2},
          {"x.tar.gz", 5}, {"x.tar (copy 1 of 2).gz", 4}, {"v1.", 7}, {"v1 (copy 1 of 2).", 6}}},
        {"a file where a folder is, before its items: the folder keeps the path",
         {{"a", 0, false}, {"a/x", 1, false}},
         {{"a/x", 1}, {"a (copy 1 of 1)", 0}}},
        {"a file where a folder is, after its items",
         {{"a/x", 0, false}, {"a", 1, false}, {"a", 2, false}},
         {{"a/x", 0}, {"a (copy 1 of 2)", 1}, {"a (copy 2 of 2)", 2}}},
        {"a folder entry keeps the path from files before and after it",
         {{"a", 0, false}, {"a", 1, true}, {"a", 2, false}},
         {{"a", 1}, {"a (copy 1 of 2)", 0}, {"a (copy 2 of 2)", 2}}},
        {"a repeated folder entry is one folder: the later index, no copies",
         {{"d", 0, true}, {"d/x", 1, false}, {"d", 2, true}},
         {{"d", 2}, {"d/x", 1}}},
        {"items at the root overwrite each other as before",
         {{"", 0, false}, {"/", 1, false}, {"x", 2, false}},
         {{"", 1}, {"x", 2}}},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.what);
        content_tree tree;
        for (const insertion& i : r.insertions)
            tree.add_item(i.path, i.index, i.folder);
        tree.place_copies();
        EXPECT_EQ(test_support::items_of(tree), r.expected);
        tree.place_copies();  // a second call finds nothing left to place
        EXPECT_EQ(test_support::items_of(tree), r.expected);
    }
}

TEST(ContentTree, CopiesAreFilesThatPathsLeadTo)
{
    content_tree tree;
    tree.add_item("d/log.txt", 0);
    tree.add_item("d/log.txt", 1);
    tree.add_item("d/log.txt/inside", 2);  // the path is a folder as well
    tree.place_copies();
    const content_node* copy = tree.find_node({"ArchiveContent", "d", "log (copy 2 of 2).txt"});
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->holds_item());
    EXPECT_TRUE(copy->children().empty());
    EXPECT_EQ(copy->item_index(), 1u);
    const content_node* folder = tree.find_node({"ArchiveContent", "d", "log.txt"});
    ASSERT_NE(folder, nullptr);
    EXPECT_FALSE(folder->holds_item());  // a folder made on the way, as the listing shows it
    EXPECT_EQ(names_of(*tree.root().find_child("d")),
              (std::vector<std::string>{"log (copy 1 of 2).txt", "log (copy 2 of 2).txt", "log.txt"}));
}
