// The program's entry, run as a real executable.
#include <gtest/gtest.h>

#include "tests/support/run_process.h"

using test_support::run_process;

namespace {

const std::string banner = "Vorsel -- a web archive browser based on 7-Zip\n";
const std::string usage =
    "Usage: Vorsel.exe archive\n"
    "Examples:\n"
    "  Vorsel a.7z      : browse 'a.7z'\n"
    "  Vorsel b.rar     : browse 'b.rar'\n"
    "  Vorsel c.zip     : browse 'c.zip'\n"
    "\n";

}  // namespace

TEST(ProgramEntry, WrongArgumentCountPrintsBannerAndUsageAndExitsOne)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"a.7z", "b.7z"},
          std::vector<std::string>{"a", "b", "c"}}) {
        auto result = run_process(VORSEL_EXECUTABLE, arguments);
        EXPECT_EQ(result.out, banner + usage);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.exit_status, 1);
    }
}
