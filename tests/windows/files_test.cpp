// Files on Windows: wide names, paths beyond MAX_PATH, file identity, and the
// temporary file that is gone once it is closed.
#include "platform/directory.h"
#include "platform/file_identity.h"
#include "platform/input_file.h"
#include "platform/page_files.h"
#include "platform/temporary_file.h"
#include "platform/utf8.h"
#include "tests/windows/windows_folder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using windows_tests::windows_folder;

std::string read_all(const std::string& path)
{
    platform::input_file file;
    if (file.open(platform::wide_from_utf8(path).c_str()) != S_OK)
        return "<cannot open>";
    std::string bytes;
    char chunk[7];
    for (;;) {
        std::uint32_t count = 0;
        if (file.read(chunk, sizeof chunk, count) != S_OK)
            return "<cannot read>";
        if (count == 0)
            return bytes;
        bytes.append(chunk, count);
    }
}

}  // namespace

TEST(WindowsFiles, LongPathsAndNamesBeyondTheBasicPlane)
{
    windows_folder folder;
    std::string deep = folder.path();
    const std::string step = "a folder with a long name \xF0\x9F\x98\x80 0123456789/";
    while (deep.size() < 400) {
        deep += step;
        ASSERT_TRUE(windows_tests::make_folder(deep)) << deep.size();
    }
    const std::string file = deep + "caf\xC3\xA9 \xF0\x90\x80\x80.txt";
    ASSERT_TRUE(windows_tests::write_file(file, "long path contents"));

    bool is_directory = true;
    ASSERT_TRUE(platform::find_file(file.c_str(), is_directory));
    EXPECT_FALSE(is_directory);
    ASSERT_TRUE(platform::find_file(deep.c_str(), is_directory));
    EXPECT_TRUE(is_directory);
    EXPECT_EQ(read_all(file), "long path contents");

    platform::input_file opened;
    ASSERT_EQ(opened.open(platform::wide_from_utf8(file).c_str()), S_OK);
    std::uint64_t size = 0, position = 0;
    ASSERT_EQ(opened.size(size), S_OK);
    EXPECT_EQ(size, 18u);
    ASSERT_EQ(opened.seek(-8, platform::seek_from_end, position), S_OK);
    EXPECT_EQ(position, 10u);

    platform::directory_enumerator entries(deep);
    platform::file_entry entry;
    std::set<std::string> names;
    while (entries.next(entry))
        names.insert(entry.name);
    EXPECT_EQ(names, std::set<std::string>{"caf\xC3\xA9 \xF0\x90\x80\x80.txt"});

    std::string page;
    platform::file_identity identity;
    ASSERT_EQ(platform::append_page_file(file, page, identity), platform::page_file_status::ok);
    EXPECT_EQ(page, "long path contents");
    EXPECT_EQ(identity.size, 18u);
    EXPECT_EQ(platform::identify_file(file), identity);
    EXPECT_EQ(platform::append_page_file(deep, page, identity), platform::page_file_status::missing);
    EXPECT_EQ(platform::append_page_file(deep + "none", page, identity), platform::page_file_status::missing);
}

TEST(WindowsFiles, IdentityTellsFilesAndVersionsApart)
{
    windows_folder folder;
    ASSERT_TRUE(windows_tests::write_file(folder.path() + "one", "same"));
    ASSERT_TRUE(windows_tests::write_file(folder.path() + "two", "same"));
    const auto one = platform::identify_file(folder.path() + "one");
    const auto two = platform::identify_file(folder.path() + "two");
    ASSERT_TRUE(one && two);
    EXPECT_NE(one->inode, two->inode);
    EXPECT_EQ(one->device, two->device);
    EXPECT_GT(one->modified_ns, 1500000000ll * 1000000000);  // after 2017
    ASSERT_TRUE(windows_tests::write_file(folder.path() + "one", "longer"));
    const auto changed = platform::identify_file(folder.path() + "one");
    ASSERT_TRUE(changed);
    EXPECT_NE(*changed, *one);
    EXPECT_FALSE(platform::identify_file(folder.path() + "three"));
}

TEST(WindowsFiles, TemporaryFileIsReadableWhileHeldAndGoneWhenClosed)
{
    platform::temporary_file file;
    ASSERT_EQ(file.create(), S_OK);
    ASSERT_EQ(file.append("inner ", 6), S_OK);
    ASSERT_EQ(file.append("archive", 7), S_OK);
    const std::string path = file.reopen_path();
    bool is_directory = true;
    ASSERT_TRUE(platform::find_file(path.c_str(), is_directory));
    EXPECT_FALSE(is_directory);
    // Two readers at once, each with its own position.
    platform::input_file first, second;
    ASSERT_EQ(first.open(platform::wide_from_utf8(path).c_str()), S_OK);
    ASSERT_EQ(second.open(platform::wide_from_utf8(path).c_str()), S_OK);
    char bytes[6] = {};
    std::uint32_t count = 0;
    ASSERT_EQ(first.read(bytes, 6, count), S_OK);
    EXPECT_EQ(std::string(bytes, count), "inner ");
    ASSERT_EQ(second.read(bytes, 5, count), S_OK);
    EXPECT_EQ(std::string(bytes, count), "inner");
    EXPECT_EQ(read_all(path), "inner archive");
    (void)first.close();
    (void)second.close();

    file.close();
    EXPECT_FALSE(platform::find_file(path.c_str(), is_directory)) << path;
}
