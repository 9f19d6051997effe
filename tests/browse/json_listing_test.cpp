#include "browse/json_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/support/strict_json.h"

using browse::content_tree;
using browse::write_json;

namespace {

std::string listing(const content_tree& tree)
{
    std::string out;
    write_json(out, tree.root());
    return out;
}

}  // namespace

TEST(JsonListing, RootOnlyIsFiftyEightBytes)
{
    content_tree tree;
    const std::string out = listing(tree);
    EXPECT_EQ(out, R"({"name":"ArchiveContent", "SubDirectories":[], "files":[]})");
    EXPECT_EQ(out.size(), 58u);
}

TEST(JsonListing, WorkedExampleByteForByte)
{
    content_tree tree;
    tree.add_item("b.txt", 0);
    tree.add_item("docs/readme.txt", 1);
    tree.add_item("a.png", 2);
    EXPECT_EQ(listing(tree),
              R"({"name":"ArchiveContent", "SubDirectories":[{"name":"docs", "SubDirectories":[], )"
              R"("files":["readme.txt"]}], "files":["a.png","b.txt"]})");
}

TEST(JsonListing, FoldersBeforeFilesEmptyFoldersAsFilesAndPrefixKept)
{
    content_tree tree;
    tree.add_item("a.txt", 0);
    tree.add_item("b/x", 1);
    tree.add_item("c/y/z", 2);
    tree.add_item("empty", 3);
    tree.add_item("B", 4);
    std::string out = "prefix:";
    write_json(out, tree.root());
    EXPECT_EQ(out,
              R"(prefix:{"name":"ArchiveContent", "SubDirectories":[)"
              R"({"name":"b", "SubDirectories":[], "files":["x"]},)"
              R"({"name":"c", "SubDirectories":[{"name":"y", "SubDirectories":[], "files":["z"]}], "files":[]}], )"
              R"("files":["B","a.txt","empty"]})");
}

TEST(JsonListing, HostileNamesAreEscapedIntoStrictJson)
{
    const std::string hostile[] = {"quo\"te", "new\nline", std::string("\x01one"), "tab\there",
                                   std::string("nul\0byte", 8), "\x7f""del", "caf\xc3\xa9", "<b>&amp;"};
    content_tree tree;
    std::uint32_t index = 0;
    for (const std::string& name : hostile) {
        tree.add_item(name, index++);
        tree.add_item("dir" + name + "/inner" + name, index++);
    }
    const std::string out = listing(tree);
    EXPECT_NE(out.find(R"("quo\"te")"), std::string::npos);
    EXPECT_NE(out.find(R"("\u0001one")"), std::string::npos);
    EXPECT_NE(out.find(R"("nul\u0000byte")"), std::string::npos);

    auto parsed = test_support::parse_strict_json(out);
    ASSERT_TRUE(parsed) << out;
    std::set<std::string> files, folders;
    for (const auto& file : parsed->at("files").items)
        files.insert(file.text);
    for (const auto& folder : parsed->at("SubDirectories").items) {
        folders.insert(folder.at("name").text);
        ASSERT_EQ(folder.at("files").items.size(), 1u) << folder.at("name").text;
    }
    for (const std::string& name : hostile) {
        EXPECT_TRUE(files.count(name)) << name;
        EXPECT_TRUE(folders.count("dir" + name)) << name;
    }
}

TEST(JsonListing, DeepTreeIsWrittenWithoutRecursion)
{
    constexpr int depth = 100000;
    std::string path;
    for (int i = 0; i < depth; ++i)
        path += "d/";
    path += "leaf";
    content_tree tree;
    tree.add_item(path, 0);
    const std::string out = listing(tree);
    std::string expected;
    expected += R"({"name":"ArchiveContent", "SubDirectories":[)";
    for (int i = 0; i < depth; ++i)
        expected += R"({"name":"d", "SubDirectories":[)";
    expected += R"(], "files":["leaf"]})";
    for (int i = 0; i < depth; ++i)
        expected += R"(], "files":[]})";
    EXPECT_EQ(out, expected);
}

TEST(JsonListing, BytesThatNothingDecodedShowAsReplacementAndKeepTheirAddress)
{
    // U+EFFF and U+EFFE: the library's escapes of the bytes 0xFF and 0xFE.
    const std::string ff = "\xEE\xBF\xBF", fe = "\xEE\xBF\xBE";
    content_tree tree;
    tree.add_item("bad" + ff + ".txt", 0);
    tree.add_item("bad" + fe + ".txt", 1);
    tree.add_item("dir" + ff + "/in" + fe, 2);
    tree.add_item("caf\xC3\xA9", 3);
    EXPECT_EQ(listing(tree),
              "{\"name\":\"ArchiveContent\", \"SubDirectories\":["
              "{\"name\":\"dir\uFFFD\",\"address\":\"dir" + ff + "\", \"SubDirectories\":[], "
              "\"files\":[{\"name\":\"in\uFFFD\",\"address\":\"in" + fe + "\"}]}], "
              "\"files\":[{\"name\":\"bad\uFFFD.txt\",\"address\":\"bad" + fe + ".txt\"},"
              "{\"name\":\"bad\uFFFD.txt\",\"address\":\"bad" + ff + ".txt\"},\"caf\xC3\xA9\"]}");
    ASSERT_TRUE(test_support::parse_strict_json(listing(tree)));

    const std::vector<archive::item_details> items(4);
    std::string details;
    browse::write_json_details(details, tree.root(), {items, "arch\xFFive.tar", 10});
    const auto parsed = test_support::parse_strict_json(details);
    ASSERT_TRUE(parsed) << details;
    EXPECT_EQ(parsed->at("archive").at("name").text, "arch\uFFFDive.tar");
    const auto& files = parsed->at("files").items;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].at("name").text, "bad\uFFFD.txt");
    EXPECT_EQ(files[0].at("address").text, "bad" + fe + ".txt");
    EXPECT_EQ(files[0].at("encrypted").type, test_support::json_value::kind::boolean);
    EXPECT_EQ(files[2].at("name").text, "caf\xC3\xA9");
    EXPECT_EQ(std::count(files[2].keys.begin(), files[2].keys.end(), "address"), 0);
    const auto& folder = parsed->at("SubDirectories").items.at(0);
    EXPECT_EQ(folder.at("name").text, "dir\uFFFD");
    EXPECT_EQ(folder.at("address").text, "dir" + ff);
}
