// The console lines of serving, as the user's terminal receives them.
#include "app/console_log.h"

#include <gtest/gtest.h>

TEST(ConsoleLog, RequestLinesCannotCarryControlBytesAndItemNotesAreLinesOfTheirOwn)
{
    app::console out;
    app::console_log log(out);
    testing::internal::CaptureStdout();
    log.request_decoded(std::string_view("/a\x1b[2J\x7f\0b c\xC3\xA9", 13));
    log.item_failed("a/b.txt", archive::item_status::crc_error);
    log.request_decoded("/next");
    log.item_failed("x\x1b.bin", archive::item_status::unsupported_method);
    log.item_failed("c.txt", archive::item_status::archive_changed);
    log.download_cut("d.txt", archive::item_status::archive_changed);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "/a\\x1B[2J\\x7F\\x00b c\xC3\xA9\n"
              "     a/b.txt: its data does not match its checksum: the archive is damaged (CRC Failed)\n"
              "/next\n"
              "     x\\x1B.bin: its compression or encryption method is not one the installed 7-Zip library decodes "
              "(Unsupported Method)\n"
              "the archive changed on disk after it was opened: nothing more of it is served; start Vorsel again to "
              "see its new contents\n");
}
