// The console lines of serving, as the user's terminal receives them.
#include "app/console_log.h"

#include <gtest/gtest.h>

TEST(ConsoleLog, RequestLinesCannotCarryControlBytesAndItemNotesAreLinesOfTheirOwn)
{
    app::console out;
    app::console_log log(out);
    testing::internal::CaptureStdout();
    log.request_decoded(std::string_view("/a\x1b[2J\x7f\0b c\xC3\xA9", 13));
    log.item_failed(archive::item_status::crc_error);
    log.request_decoded("/next");
    log.item_failed(archive::item_status::unsupported_method);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "/a\\x1B[2J\\x7F\\x00b c\xC3\xA9\n     CRC Failed\n/next\n     Unsupported Method\n");
}
