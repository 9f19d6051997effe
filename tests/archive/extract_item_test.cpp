// Extracting items of real archives into memory, sound and damaged.
#include "archive/archive_file.h"

#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using test_support::items_of;
using test_support::temp_folder;

namespace {

class extract_item_test : public ::testing::Test {
protected:
    // Opens the archive in file_; its items by path.
    std::map<std::string, std::uint32_t> open(const std::string& archive)
    {
        browse::content_tree tree;
        test_support::open_and_list(file_, archive, tree);
        return items_of(tree);
    }

    // Extracts an item of file_, appending to `target`.
    archive::item_status extract(std::uint32_t index, std::string& target)
    {
        archive::string_sink sink(target);
        return file_.extract(index, sink);
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
    archive::archive_file file_;
};

const archive::item_status ok = archive::item_status::ok;

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
    for (const auto& [path, content] : files) {
        std::string target = "kept:";
        EXPECT_EQ(extract(items.at(path), target), ok) << path;
        EXPECT_EQ(target, "kept:" + content) << path;
    }
    // The same item twice: the handler stays open and gives the same bytes.
    std::string first, second;
    EXPECT_EQ(extract(items.at("dir/b.txt"), first), ok);
    EXPECT_EQ(extract(items.at("dir/b.txt"), second), ok);
    EXPECT_EQ(first, files.at("dir/b.txt"));
    EXPECT_EQ(second, first);
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
    EXPECT_EQ(extract(items.at("stored.txt"), stored), ok);
    EXPECT_EQ(extract(items.at("deflated.txt"), deflated), ok);
    EXPECT_EQ(stored, "stored text");
    std::string expected;
    for (int i = 0; i < 1000; ++i)
        expected += "deflate me ";
    EXPECT_EQ(deflated, expected);

    const std::string gz = folder_.path() + "a.gz";
    test_support::make_nameless_gzip(gz);
    items = open(gz);
    std::string single;
    EXPECT_EQ(extract(items.at("a"), single), ok);
    EXPECT_EQ(single, "single stream");
}

// An encrypted item decodes with the right password only; without one it needs
// a password, with another the password is wrong (the library reports a data
// error for 7z and a wrong password for zip: both come out the same).
TEST_F(extract_item_test, EncryptedItemsDecodeWithTheirPasswordOnly)
{
    using archive::item_status;
    const std::string data = write_source("secret.txt", 3000);
    const struct {
        const char* archive;
        std::vector<std::string> options;
    } table[] = {
        {"a.7z", {"-t7z"}},
        {"zipcrypto.zip", {"-tzip", "-mem=ZipCrypto"}},
        {"aes.zip", {"-tzip", "-mem=AES256"}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.archive);
        std::vector<std::string> arguments{"a", "-bd", "-pX", std::string("../") + row.archive, "secret.txt"};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        test_support::run_7z(arguments, folder_.path() + "src");
        const auto items = open(folder_.path() + row.archive);  // the headers are open
        ASSERT_EQ(items.count("secret.txt"), 1u);
        const std::uint32_t index = items.at("secret.txt");
        std::string target;
        EXPECT_EQ(extract(index, target), item_status::password_needed);
        for (const auto& [password, expected] : {std::pair{"Y", item_status::wrong_password}, {"X", ok}}) {
            std::string bytes;
            archive::string_sink sink(bytes);
            struct one : archive::items_sink {
                archive::item_sink& sink;
                item_status status = item_status::failed;
                explicit one(archive::item_sink& s) : sink(s) {}
                archive::item_sink* begin_item(std::uint32_t) override { return &sink; }
                void end_item(std::uint32_t, item_status s) override { status = s; }
                bool wanted() override { return true; }
            } items_sink(sink);
            file_.extract_items({index}, items_sink, std::string(password));
            EXPECT_EQ(items_sink.status, expected) << password;
            if (expected == ok) {
                EXPECT_TRUE(bytes == data);
            }
        }
    }
}

TEST_F(extract_item_test, DamagedDataIsReportedAsAFailure)
{
    using archive::item_status;
    const struct {
        const char* method;
        item_status expected;
    } table[] = {
        {"-mx0", item_status::crc_error},  // stored: the bytes arrive, the check fails
        {"-m0=lzma2", item_status::data_error},
    };
    for (const auto& row : table) {
        write_source("item.txt", 20000);
        const std::string archive = folder_.path() + "damaged.7z";
        std::filesystem::remove(archive);
        test_support::run_7z({"a", "-bd", "-t7z", row.method, "../damaged.7z", "item.txt"}, folder_.path() + "src");
        damage(archive, 32 + 500, 8);  // packed data starts after the 32-byte start header
        const auto items = open(archive);
        std::string target;
        const item_status status = extract(items.at("item.txt"), target);
        if (row.expected == item_status::data_error)  // where LZMA2 notices depends on the bytes hit
            EXPECT_TRUE(status == item_status::data_error || status == item_status::crc_error) << row.method;
        else
            EXPECT_EQ(status, row.expected) << row.method;
    }
}

TEST_F(extract_item_test, ASinkThatRefusesStopsTheExtraction)
{
    write_source("big.txt", 3 << 20);
    test_support::run_7z({"a", "-bd", "-t7z", "-m0=lzma2", "../a.7z", "big.txt"}, folder_.path() + "src");
    const auto items = open(folder_.path() + "a.7z");
    struct refusing_sink : archive::item_sink {
        std::size_t received = 0;
        bool write(const char*, std::size_t size) override
        {
            received += size;
            return false;
        }
    } sink;
    EXPECT_EQ(file_.extract(items.at("big.txt"), sink), archive::item_status::aborted);
    EXPECT_GT(sink.received, 0u);
    EXPECT_LT(sink.received, std::size_t{3} << 20);
}
