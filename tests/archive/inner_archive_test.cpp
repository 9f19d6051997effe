// How the first bytes of an item are judged, with the installed library's
// formats: the checks they declare, their signatures at their offsets, and
// the partition table of a master boot record, which declares neither.
#include "archive/inner_archive.h"

#include "tests/support/archive_listing.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// `bytes` laid at `offset` in 64 KiB of `filler`.
std::string leading(std::size_t offset, const std::string& bytes, char filler = '\0')
{
    std::string data(65536, filler);
    data.replace(offset, bytes.size(), bytes);
    return data;
}

std::string with_partition_table(std::string data)
{
    data[446 + 4] = 0x0c;          // a FAT partition
    data[446 + 8 + 1] = 0x08;      // from sector 2048
    data[446 + 12 + 1] = 0x38;     // of 14336 sectors
    data[510] = static_cast<char>(0x55);
    data[511] = static_cast<char>(0xAA);
    return data;
}

}  // namespace

TEST(StartsLikeArchive, KnowsFormatsBySignaturesAtTheirOffsetsAndDisksByTheirTables)
{
    struct row {
        const char* what;
        std::string data;
        bool archive;
    };
    const row table[] = {
        {"xz at the start", leading(0, std::string("\xFD" "7zXZ\0", 6)), true},
        {"a GPT header at 512", leading(512, std::string("EFI PART\0\0\x01\0", 12)), true},
        {"an NTFS boot sector", leading(3, std::string("NTFS    \0", 9)), true},
        {"a master boot record", with_partition_table(std::string(65536, '\0')), true},
        {"GPT's signature at the start instead", leading(0, std::string("EFI PART\0\0\x01\0", 12)), false},
        {"NTFS's signature further in", leading(1000, std::string("NTFS    \0", 9)), false},
        {"text", std::string(65536, 'a'), false},
        {"text with a boot signature", leading(510, "\x55\xAA", 'a'), false},
        {"zeros with a boot signature", leading(510, "\x55\xAA"), false},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(archive::starts_like_archive(test_support::installed_library(),
                                               reinterpret_cast<const unsigned char*>(r.data.data()), r.data.size()),
                  r.archive);
    }
}
