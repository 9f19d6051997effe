// The progress line of a first reading: its text, and that it is drawn on a
// terminal and cleared before the next line, but never written to a pipe.
#include "app/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/known_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

TEST(ProgressLine, TellsBytesRateAndTimeLeft)
{
    using seconds = std::chrono::duration<double>;
    struct row {
        std::uint64_t done, total;
        double elapsed;
        const char* text;
    };
    const row table[] = {
        {0, 700'000'000, 0.0, "reading t.tar.gz: 0.0 of 700.0 MB"},
        {0, 700'000'000, 3.0, "reading t.tar.gz: 0.0 of 700.0 MB"},
        {100'000'000, 700'000'000, 1.0, "reading t.tar.gz: 100.0 of 700.0 MB, 100.0 MB/s, 6 s left"},
        {350'000'000, 700'000'000, 4.0, "reading t.tar.gz: 350.0 of 700.0 MB, 87.5 MB/s, 4 s left"},
        {700'000'000, 700'000'000, 7.0, "reading t.tar.gz: 700.0 of 700.0 MB, 100.0 MB/s, 0 s left"},
        {1'000'000, 500'000, 1.0, "reading t.tar.gz: 1.0 of 0.5 MB, 1.0 MB/s, 0 s left"},  // a file that grew
    };
    for (const row& r : table)
        EXPECT_EQ(app::progress_text("t.tar.gz", r.done, r.total, seconds(r.elapsed)), r.text);
}

TEST(ProgressLine, IsDrawnOnATerminalAndClearedBeforeTheNextLine)
{
    temp_folder work;
    work.write_file("tree/big.bin", known_bytes(3'000'000, 9));
    process_options make;
    make.working_directory = work.path();
    ASSERT_EQ(run_process("/bin/sh", {"-c", "tar -cf - tree | gzip > tree.tar.gz"}, make).exit_status, 0);
    for (const bool terminal : {true, false}) {
        SCOPED_TRACE(terminal);
        process_options options;
        options.working_directory = work.path();
        options.terminal = terminal;
        options.environment = {"BROWSER=/bin/true", "VORSEL_INDEX_CACHE=0"};
        running_program program(VORSEL_EXECUTABLE, {"tree.tar.gz"}, options);
        ASSERT_TRUE(program.wait_for_output("Press Ctrl+C to stop.")) << program.output();
        const std::string& out = program.output();
        const std::size_t drawn = out.find("\rreading tree.tar.gz: ");
        EXPECT_EQ(drawn != std::string::npos, terminal) << out;
        if (terminal) {
            const std::size_t cleared = out.find(" \r", drawn);
            const std::size_t opened = out.find("opened the inner archive tree.tar");
            EXPECT_LT(drawn, cleared);
            EXPECT_LT(cleared, opened) << out;
            char total[32];
            std::snprintf(total, sizeof total, " of %.1f MB",
                          static_cast<double>(std::filesystem::file_size(work.path() + "tree.tar.gz")) / 1e6);
            EXPECT_NE(out.find(total, drawn), std::string::npos) << "the total is the compressed size: " << out;
        }
    }
}

}  // namespace
