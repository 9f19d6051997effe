// Entry names of the zips the server writes: safe on the disk they are unpacked on.
#include "browse/zip_entry_name.h"

#include <gtest/gtest.h>

TEST(ZipEntryName, EachNameOfThePathIsMadeSafe)
{
    const struct {
        const char* path;
        const char* entry;
    } table[] = {
        {"report.pdf", "report.pdf"},
        {"docs/report.pdf", "docs/report.pdf"},
        {"C:/win/evil.txt", "C_/win/evil.txt"},
        {"con.txt", "_con.txt"},
        {"dir/CON", "dir/_CON"},
        {"Nul.tar.gz", "_Nul.tar.gz"},
        {"COM1/x", "_COM1/x"},
        {"lpt9.log", "_lpt9.log"},
        {"COM\xC2\xB9", "_COM\xC2\xB9"},
        {"AUX .txt", "_AUX .txt"},
        {"CONSOLE", "CONSOLE"},
        {"com10", "com10"},
        {"xcon", "xcon"},
        {"a<b>c:d\"e|f?g*h", "a_b_c_d_e_f_g_h"},
        {"tab\there\nnew\x7F", "tab_here_new_"},
        {"trailing. . /x", "trailing/x"},
        {"...", "_"},
        {"  spaced  name", "  spaced  name"},
        {".hidden/a", ".hidden/a"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
    };
    for (const auto& row : table)
        EXPECT_EQ(browse::zip_entry_name(row.path), row.entry) << row.path;
}
