// Extracting items of real archives into memory, sound and damaged.
#include "archive/extract_item.h"

#include "archive/open_archive.h"
#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

using test_support::items_of;
using test_support::temp_folder;

namespace {

class extract_item_test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_support::load_installed_library(); }

    // Opens the archive as the program's archive; its items by path.
    std::map<std::string, std::uint32_t> open(const std::string& archive)
    {
        browse::content_tree tree;
        open_and_list(archive.c_str(), tree);
        return items_of(tree);
    }

    // A file of the source folder, with bytes that compress.
    std::string write_source(const std::string& name, std::size_t size)
    {
        std::string data;
        for (std::size_t i = 0; data.size() < size; ++i)
            data += "line " + std::to_string(i * 37 % 1000) + " of " + name + "\n";
        data.resize(size);
        folder_.write_file("src/" + name, data);
        return data;
    }

    // Flips bytes of the file at `offset`.
    void damage(const std::string& path, std::size_t offset, std::size_t count)
    {
        std::string bytes = test_support::read_file(path);
        ASSERT_LT(offset + count, bytes.size());
        for (std::size_t i = offset; i < offset + count; ++i)
            bytes[i] = static_cast<char>(~bytes[i]);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    temp_folder folder_;
};

// The console note of a failed item: five spaces and one of four messages.
const std::regex failure_note("     (Unsupported Method|Data Error|CRC Failed|Unknown Error)");

}  // namespace

TEST_F(extract_item_test, EveryItemOfASolidSevenZipComesBackWhole)
{
    const std::map<std::string, std::string> files = {
        {"a.txt", write_source("a.txt", 100000)},
        {"dir/b.txt", write_source("dir/b.txt", 5000)},
        {"dir/empty.txt", write_source("dir/empty.txt", 0)},
    };
    test_support::run_7z({"a", "-bd", "-t7z", "-m0=lzma2", "-ms=on", "../a.7z", "a.txt", "dir"}, folder_.path() + "src");
    const auto items = open(folder_.path() + "a.7z");
    testing::internal::CaptureStdout();
    for (const auto& [path, content] : files) {
        std::string target = "kept:";
        const extraction_outcome outcome = extract_item(items.at(path), target);
        EXPECT_EQ(outcome.result, S_OK) << path;
        EXPECT_TRUE(outcome.succeeded()) << path;
        EXPECT_EQ(target, "kept:" + content) << path;
    }
    // The same item twice: the handler stays open and gives the same bytes.
    std::string first, second;
    EXPECT_TRUE(extract_item(items.at("dir/b.txt"), first).succeeded());
    EXPECT_TRUE(extract_item(items.at("dir/b.txt"), second).succeeded());
    EXPECT_EQ(first, files.at("dir/b.txt"));
    EXPECT_EQ(second, first);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(extract_item_test, ZipItemsStoredAndDeflatedAndAGzipStream)
{
    const std::string zip = folder_.path() + "a.zip";
    test_support::run_python(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('stored.txt', 'stored text', compress_type=zipfile.ZIP_STORED)
    z.writestr('deflated.txt', 'deflate me ' * 1000, compress_type=zipfile.ZIP_DEFLATED)
)",
                             {zip});
    auto items = open(zip);
    std::string stored, deflated;
    EXPECT_TRUE(extract_item(items.at("stored.txt"), stored).succeeded());
    EXPECT_TRUE(extract_item(items.at("deflated.txt"), deflated).succeeded());
    EXPECT_EQ(stored, "stored text");
    std::string expected;
    for (int i = 0; i < 1000; ++i)
        expected += "deflate me ";
    EXPECT_EQ(deflated, expected);

    const std::string gz = folder_.path() + "a.gz";
    test_support::make_nameless_gzip(gz);
    items = open(gz);
    std::string single;
    EXPECT_TRUE(extract_item(items.at("a"), single).succeeded());
    EXPECT_EQ(single, "single stream");
}

TEST_F(extract_item_test, EncryptedDataFailsWithTheEmptyPassword)
{
    write_source("secret.txt", 3000);
    test_support::run_7z({"a", "-bd", "-t7z", "-pX", "../a.7z", "secret.txt"}, folder_.path() + "src");
    const auto items = open(folder_.path() + "a.7z");  // the headers are open
    ASSERT_EQ(items.count("secret.txt"), 1u);
    std::string target;
    testing::internal::CaptureStdout();
    const extraction_outcome outcome = extract_item(items.at("secret.txt"), target);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(outcome.succeeded());
    EXPECT_TRUE(std::regex_match(console, failure_note)) << console;
    EXPECT_EQ(outcome.error_count, 1);
}

TEST_F(extract_item_test, DamagedDataIsReportedAsAFailure)
{
    const struct {
        const char* method;
        const char* expected_note;  // null: any failure note
    } table[] = {
        {"-mx0", "     CRC Failed"},  // stored: the bytes arrive, the check fails
        {"-m0=lzma2", nullptr},
    };
    for (const auto& row : table) {
        write_source("item.txt", 20000);
        const std::string archive = folder_.path() + "damaged.7z";
        std::filesystem::remove(archive);
        test_support::run_7z({"a", "-bd", "-t7z", row.method, "../damaged.7z", "item.txt"}, folder_.path() + "src");
        damage(archive, 32 + 500, 8);  // packed data starts after the 32-byte start header
        const auto items = open(archive);
        std::string target;
        testing::internal::CaptureStdout();
        const extraction_outcome outcome = extract_item(items.at("item.txt"), target);
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(outcome.succeeded()) << row.method;
        EXPECT_EQ(outcome.error_count, 1) << row.method;
        if (row.expected_note)
            EXPECT_EQ(console, row.expected_note);
        else
            EXPECT_TRUE(std::regex_match(console, failure_note)) << console;
    }
}
