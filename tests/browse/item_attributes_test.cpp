// The text of attributes against what `ls -l` and the 7z tool write for the
// same bits: file types, the special bits in the execute places, Windows
// letters, and a mode carried in the attributes' high half or on its own.
#include <gtest/gtest.h>

#include "browse/item_attributes.h"

namespace {

archive::item_details with_attributes(std::uint32_t attributes)
{
    archive::item_details item;
    item.attributes = attributes;
    item.has_attributes = true;
    return item;
}

}  // namespace

TEST(ItemAttributes, ModesReadAsLsWritesThem)
{
    const struct {
        std::uint32_t mode;
        const char* text;
    } cases[] = {
        {0100644, "-rw-r--r--"}, {0100755, "-rwxr-xr-x"}, {0040700, "drwx------"}, {0120777, "lrwxrwxrwx"},
        {0104755, "-rwsr-xr-x"}, {0104644, "-rwSr--r--"}, {0102750, "-rwxr-s---"}, {0102640, "-rw-r-S---"},
        {0041777, "drwxrwxrwt"}, {0041776, "drwxrwxrwT"}, {0020620, "crw--w----"}, {0060660, "brw-rw----"},
        {0010600, "prw-------"}, {0140755, "srwxr-xr-x"}, {0000000, "----------"},
    };
    for (const auto& [mode, text] : cases)
        EXPECT_EQ(browse::unix_mode_text(mode), text) << std::oct << mode;
}

TEST(ItemAttributes, LettersAndModesTogether)
{
    const struct {
        archive::item_details item;
        const char* text;
    } cases[] = {
        {with_attributes(0x20), "A"},
        {with_attributes(0x01 | 0x02 | 0x04 | 0x20), "RHSA"},
        {with_attributes(0x10), "D"},
        {with_attributes(0x80), ""},                                  // normal: no letter
        {with_attributes(0x8000 | (0100644u << 16)), "-rw-r--r--"},  // a mode in the high half
        {with_attributes(0x8000 | 0x20 | (0100755u << 16)), "A -rwxr-xr-x"},
        {with_attributes(0x8000 | 0x10 | (0040755u << 16)), "D drwxr-xr-x"},
        {with_attributes(0100644u << 16), ""},  // without the flag the high half is no mode
        {archive::item_details{}, ""},
    };
    for (const auto& [item, text] : cases)
        EXPECT_EQ(browse::attributes_text(item), text) << std::hex << item.attributes;
    archive::item_details own = with_attributes(0x20);
    own.unix_mode = 0100600;
    own.has_unix_mode = true;
    EXPECT_EQ(browse::attributes_text(own), "A -rw-------");
    own.has_attributes = false;
    EXPECT_EQ(browse::attributes_text(own), "-rw-------");
}
