// An archive written over while it is served, through the real executable:
// nothing of the new file is served as the old one's items. Every request for
// the archive's content answers 409 with a sentence, the console tells it
// once, and a reply under way when it happens ends short. A file deleted or
// renamed while open is not changed: its bytes are still read.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

const char changed_line[] = "the archive changed on disk after it was opened";
const char conflict[] = "HTTP/1.0 409 Conflict";

std::size_t count_of(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string get_range(unsigned short port, const std::string& target, const std::string& range)
{
    return http_exchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nRange: bytes=" + range + "\r\n\r\n");
}

class ArchiveChanged : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* version : {"old", "new"}) {
            const std::string folder = std::string(version) + "/";
            work_.write_file(folder + "notes.txt", std::string("the notes of the ") + version + " archive\n");
            work_.write_file(folder + "data/big.bin", known_bytes(version[0] == 'o' ? 3'000'000 : 2'000'000, 7));
        }
    }

    std::unique_ptr<running_program> serve(const std::string& archive, unsigned short& port)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port,
                            {"XDG_CACHE_HOME=" + work_.path() + "cache", "VORSEL_INDEX_CACHE=1073741824"});
    }

    // Makes the archive `name` of the folder `version` with the shell command
    // `make`, in which $out stands for the archive's path.
    void make(const std::string& name, const std::string& version, std::string make)
    {
        make.replace(make.find("$out"), 4, "'" + work_.path() + name + "'");
        run_in(work_.path() + version, make);
    }

    temp_folder work_;
};

struct archive_kind {
    const char* name;
    const char* make;  // run in the folder of the version; $out is the archive
};

const archive_kind kinds[] = {
    {"a.zip", "zip -q -r -0 $out notes.txt data"},
    {"a.7z", "7z a -bd -bso0 $out notes.txt data"},
    {"a.tar.gz", "tar cf - notes.txt data | gzip -n > $out"},
};

}  // namespace

TEST_F(ArchiveChanged, AnArchiveWrittenOverInPlaceServesNothingStale)
{
    for (const archive_kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        make(kind.name, "old", kind.make);
        make(std::string("other-") + kind.name, "new", kind.make);
        unsigned short port = 0;
        if (std::string(kind.name).ends_with(".tar.gz")) {
            // The first start keeps the seek points; the second opens through them.
            auto first = serve(kind.name, port);
            ASSERT_NE(port, 0);
            ASSERT_EQ(reply_body(http_get(port, "/ArchiveContent/notes.txt")), "the notes of the old archive\n");
        }
        auto program = serve(kind.name, port);
        ASSERT_NE(port, 0);
        ASSERT_EQ(reply_body(http_get(port, "/ArchiveContent/notes.txt")), "the notes of the old archive\n");

        run_in(work_.path(), std::string("cat other-") + kind.name + " > " + kind.name);
        for (const char* target : {"/ArchiveContent/notes.txt", "/ArchiveContent/data/big.bin",
                                          "/ArchiveContent", "/ArchiveContent?details"}) {
            const std::string reply = http_get(port, target);
            EXPECT_EQ(reply_status_line(reply), conflict) << target;
            EXPECT_NE(reply_body(reply).find("changed on disk"), std::string::npos) << reply;
        }
        EXPECT_EQ(reply_status_line(get_range(port, "/ArchiveContent/data/big.bin", "1000-1999")), conflict);
        EXPECT_TRUE(program->wait_for_output(changed_line));
        http_get(port, "/ArchiveContent/notes.txt");
        EXPECT_EQ(count_of(program->output(), changed_line), 1u) << program->output();
    }
}

TEST_F(ArchiveChanged, AReplyUnderWayWhenTheFileChangesEndsShort)
{
    // Larger than what a streamed reply queues and the sockets hold together,
    // so that its extraction is under way while the client waits; stored, so
    // that its bytes are read from the file as they are sent.
    const std::size_t big_size = 40'000'000;
    work_.write_file("old/data/big.bin", known_bytes(big_size, 7));
    make("a.zip", "old", "zip -q -r -0 $out notes.txt data");
    make("other.zip", "new", "zip -q -r -0 $out notes.txt data");
    unsigned short port = 0;
    auto program = serve("a.zip", port);
    ASSERT_NE(port, 0);
    const int fd = connect_loopback(port);
    ASSERT_GE(fd, 0);
    const std::string request = "GET /ArchiveContent/data/big.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(::send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    // The server waits on this reader, which takes a little and pauses.
    char first[1024];
    ASSERT_EQ(::recv(fd, first, sizeof first, MSG_WAITALL), static_cast<ssize_t>(sizeof first));
    usleep(300'000);
    run_in(work_.path(), "cat other.zip > a.zip");
    const std::string reply = std::string(first, sizeof first) + read_until_closed(fd);
    ::close(fd);
    const std::string length = reply_header(reply, "Content-Length");
    ASSERT_EQ(length, std::to_string(big_size));
    EXPECT_LT(reply_body(reply).size(), big_size) << "a reply under way when its archive changed ended whole";
    EXPECT_TRUE(program->wait_for_output(changed_line));
}

TEST_F(ArchiveChanged, ADeletedOrRenamedArchiveIsStillServedFromTheOpenFile)
{
    make("a.7z", "old", "7z a -bd -bso0 $out notes.txt data");
    make("b.7z", "old", "7z a -bd -bso0 $out notes.txt data");
    unsigned short port = 0;
    auto deleted = serve("a.7z", port);
    ASSERT_NE(port, 0);
    ASSERT_EQ(reply_status_line(http_get(port, "/ArchiveContent")), "HTTP/1.0 200 OK");  // opened and listed
    std::filesystem::remove(work_.path() + "a.7z");
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/notes.txt")), "the notes of the old archive\n");
    EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/data/big.bin")) == known_bytes(3'000'000, 7));

    auto renamed = serve("b.7z", port);
    ASSERT_NE(port, 0);
    ASSERT_EQ(reply_status_line(http_get(port, "/ArchiveContent")), "HTTP/1.0 200 OK");
    std::filesystem::rename(work_.path() + "b.7z", work_.path() + "c.7z");
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/notes.txt")), "the notes of the old archive\n");
    EXPECT_EQ(count_of(deleted->output() + renamed->output(), changed_line), 0u);
}
