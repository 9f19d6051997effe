// Input files: opening by wide name, reading, seeking, size and error results.
#include "platform/input_file.h"

#include "archive/string_convert.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using platform::input_file;

namespace {

UString wide_name(const std::string& path)
{
    return MultiByteToUnicodeString(AString(path.c_str()));
}

}  // namespace

TEST(InputFile, ReadsSeeksAndReportsItsSize)
{
    test_support::temp_folder folder;
    const std::string path = folder.write_file("data.bin", "0123456789");
    input_file file;
    ASSERT_EQ(file.open(wide_name(path)), S_OK);
    std::uint64_t size = 0;
    EXPECT_EQ(file.size(size), S_OK);
    EXPECT_EQ(size, 10u);

    std::uint64_t position = 0;
    EXPECT_EQ(file.seek(-3, platform::seek_from_end, position), S_OK);
    EXPECT_EQ(position, 7u);
    char buffer[8] = {};
    std::uint32_t count = 0;
    EXPECT_EQ(file.read(buffer, sizeof buffer, count), S_OK);
    EXPECT_EQ(std::string(buffer, count), "789");
    EXPECT_EQ(file.read(buffer, sizeof buffer, count), S_OK);
    EXPECT_EQ(count, 0u);

    EXPECT_EQ(file.seek(2, platform::seek_from_start, position), S_OK);
    EXPECT_EQ(file.seek(1, platform::seek_from_current, position), S_OK);
    EXPECT_EQ(position, 3u);
    EXPECT_EQ(file.seek(0, 3, position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(file.seek(-1, platform::seek_from_start, position), static_cast<HRESULT>(0x80070016u));  // EINVAL
}

TEST(InputFile, FailuresAreHresultsOfTheSystemError)
{
    test_support::temp_folder folder;
    input_file file;
    EXPECT_EQ(file.open(wide_name(folder.path() + "missing")), static_cast<HRESULT>(0x80070002u));  // ENOENT
    char byte;
    std::uint32_t count = 1;
    EXPECT_EQ(file.read(&byte, 1, count), static_cast<HRESULT>(0x80070009u));  // EBADF: closed
    EXPECT_EQ(count, 0u);
}

TEST(InputFile, OpensANameThatIsNotUtf8)
{
    test_support::temp_folder folder;
    const std::string path = folder.write_file("bad\xFF\xC3name", "x");
    input_file file;
    EXPECT_EQ(file.open(wide_name(path)), S_OK);
}
