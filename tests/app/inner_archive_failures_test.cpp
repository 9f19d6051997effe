// An archive inside the archive that cannot be decoded for want of a
// temporary file, through the real executable: the reply and the console say
// what the system said (a full TMPDIR, a missing one), not that the archive is
// damaged; once there is room, the same request opens it.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <filesystem>
#include <string>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

class InnerArchiveFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Random-looking bytes that do not compress: the inner archive decodes to more than 1 MiB.
        work_.write_file("in/big.bin", known_bytes(3'000'000, 3));
        run_in(work_.path() + "in", "7z a -bd -bso0 -mx1 ../inner.7z big.bin");
        work_.write_file("notes.txt", "notes\n");
        run_in(work_.path(), "zip -q -0 outer.zip inner.7z notes.txt");
    }

    std::unique_ptr<running_program> serve(const std::string& tmpdir, unsigned short& port)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), "outer.zip", port, {"TMPDIR=" + tmpdir});
    }

    temp_folder work_;
};

}  // namespace

TEST_F(InnerArchiveFailures, AMissingTemporaryFolderIsNamedWithTheSystemsWords)
{
    unsigned short port = 0;
    auto program = serve(work_.path() + "no-such-folder", port);
    ASSERT_NE(port, 0);
    const std::string reply = http_get(port, "/ArchiveContent/inner.7z?list");
    EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 500 Internal Server Error");
    EXPECT_NE(reply_body(reply).find("The archive inside the archive, inner.7z, cannot be opened: the temporary file "
                                     "in " + work_.path() + "no-such-folder could not be written: No such file or "
                                     "directory.\n"),
              std::string::npos)
        << reply_body(reply);
    EXPECT_TRUE(program->wait_for_output("     inner.7z: cannot be opened: the temporary file in "));
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/notes.txt")), "notes\n");

    // Made meanwhile, the folder serves the next request.
    std::filesystem::create_directory(work_.path() + "no-such-folder");
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/inner.7z?list")), "HTTP/1.0 200 OK");
    EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/inner.7z/big.bin")) == known_bytes(3'000'000, 3));
}

TEST_F(InnerArchiveFailures, AFullTemporaryFolderIsSaidToBeFull)
{
    const std::string small = work_.make_folder("small");
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a file system of 1 MiB cannot be mounted here (not root)";
    {
        unsigned short port = 0;
        auto program = serve(small, port);
        ASSERT_NE(port, 0);
        const std::string reply = http_get(port, "/ArchiveContent/inner.7z?list");
        EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 500 Internal Server Error");
        EXPECT_NE(reply_body(reply).find("cannot be opened: no space left in TMPDIR (" + small + ").\n"),
                  std::string::npos)
            << reply_body(reply);
        EXPECT_TRUE(program->wait_for_output("     inner.7z: cannot be opened: no space left in TMPDIR"));
        EXPECT_EQ(program->output().find("damaged"), std::string::npos) << program->output();
    }
    ::umount(small.c_str());
}
