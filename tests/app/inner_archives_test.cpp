// Archives inside archives, through the real executable: compressed tarballs
// served as their tar, and the temporary files that decoding needs.
#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/archive_tools.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"

using namespace test_support;

namespace {

// Names of the entries of a folder ("." and ".." left out).
std::vector<std::string> entries_of(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// How many deleted files inside `folder` the process holds open (a file opened
// again through /proc/self/fd shows the same name; descriptors of one file count once).
std::size_t deleted_files_held(int pid, const std::string& folder)
{
    std::set<ino_t> files;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        struct stat status {};
        if (!error && target.rfind(folder, 0) == 0 && target.find("(deleted)") != std::string::npos &&
            stat(entry.path().c_str(), &status) == 0)
            files.insert(status.st_ino);
    }
    return files.size();
}

bool holds_deleted_file(int pid, const std::string& folder)
{
    return deleted_files_held(pid, folder) > 0;
}

// A small tree, its plain tar, and that tar compressed by each tool; the
// program runs with a temporary folder of its own.
class InnerArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        work_.write_file("tree/a.txt", "hello\n");
        work_.write_file("tree/sub/b.bin", known_bytes(300000, 7));
        work_.write_file("tree/sub/deeper/c.txt", known_bytes(5000, 8));
        work_.make_folder("tree/empty");
        work_.make_folder("scratch");
        run_in(work_.path(), "tar -cf tree.tar tree");
    }

    std::unique_ptr<running_program> serve(const std::string& archive, unsigned short& port,
                                           std::vector<std::string> environment = {})
    {
        environment.push_back("TMPDIR=" + scratch());
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port, std::move(environment));
    }

    std::string scratch() const { return work_.path() + "scratch"; }

    // The listing of `archive` served alone.
    std::string listing_of(const std::string& archive)
    {
        unsigned short port = 0;
        auto program = serve(archive, port);
        return reply_body(http_get(port, "/ArchiveContent"));
    }

    temp_folder work_;
};

struct compressed_tarball {
    const char* name;
    const char* command;  // makes `name` from tree.tar
    bool seeks;           // read through seek points, not from a decoded copy
};

const compressed_tarball tarballs[] = {
    {"tree.tar.gz", "gzip -9 -c tree.tar > tree.tar.gz", true},
    {"tree.tgz", "gzip -c tree.tar > tree.tgz", true},
    {"tree.tar.xz", "xz -c tree.tar > tree.tar.xz", false},  // one block: no better than a copy
    {"tree.tar.xz", "xz -T2 --block-size=64KiB -c tree.tar > tree.tar.xz", true},
    {"tree.tar.bz2", "bzip2 -c tree.tar > tree.tar.bz2", false},
    {"tree.tar.zst", "zstd -q -c tree.tar > tree.tar.zst", false},  // one frame: no better than a copy
    // pzstd's frames of a tar cut in three (its own frames are larger than this tar).
    {"tree.tar.zst", "split -b 120000 tree.tar part. && for part in part.*; do pzstd -q -p 2 -c < $part; done "
                     "> tree.tar.zst && rm part.*", true},
};

TEST_F(InnerArchives, CompressedTarballsListAndServeAsTheirTar)
{
    unsigned short port = 0;
    std::string plain_listing;
    {
        auto program = serve("tree.tar", port);
        plain_listing = reply_body(http_get(port, "/ArchiveContent"));
    }
    ASSERT_NE(plain_listing.find("\"c.txt\""), std::string::npos) << plain_listing;
    for (const compressed_tarball& tarball : tarballs) {
        SCOPED_TRACE(tarball.name);
        run_in(work_.path(), tarball.command);
        auto program = serve(tarball.name, port);
        EXPECT_TRUE(program->wait_for_output("opened the inner archive tree.tar\n")) << program->output();
        EXPECT_NE(program->output().find(tarball.seeks
                                             ? "reading the inner archive tree.tar through seek points, without a copy"
                                             : "decoding the inner archive tree.tar into a temporary file"),
                  std::string::npos);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")), plain_listing);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/sub/b.bin")), known_bytes(300000, 7));
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/a.txt")), "hello\n");
        const std::string details = reply_body(http_get(port, "/ArchiveContent?details"));
        EXPECT_NE(details.find("\"size\":300000"), std::string::npos) << details;
        // The decoded tar is a file without a name: held while the program
        // runs, unless the tar is read through seek points...
        EXPECT_EQ(holds_deleted_file(program->pid(), scratch()), !tarball.seeks);
        EXPECT_TRUE(entries_of(scratch()).empty());
    }
}

TEST_F(InnerArchives, AFileThatIsNotAnArchiveInsideIsServedAsItself)
{
    // Text, and a program: the library could list a program's sections, but
    // the user wants the program.
    work_.write_file("notes.txt", known_bytes(20000, 3));
    std::filesystem::copy_file("/bin/true", work_.path() + "true");
    run_in(work_.path(), "gzip -k notes.txt true");
    for (const std::string name : {"notes.txt", "true"}) {
        SCOPED_TRACE(name);
        unsigned short port = 0;
        auto program = serve(name + ".gz", port);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")),
                  R"({"name":"ArchiveContent", "SubDirectories":[], "files":[")" + name + R"("]})");
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/" + name)), read_file(work_.path() + name));
        EXPECT_EQ(program->output().find("inner archive"), std::string::npos);
        EXPECT_FALSE(holds_deleted_file(program->pid(), scratch()));
    }
}

TEST_F(InnerArchives, ADamagedInnerArchiveServesTheOuterOne)
{
    // The xz stream is cut in its middle: the tar's first bytes decode, its end does not.
    run_in(work_.path(), "xz -c tree.tar | head -c 60000 > cut.tar.xz");
    unsigned short port = 0;
    auto program = serve("cut.tar.xz", port);
    EXPECT_TRUE(program->wait_for_output("cannot open the inner archive cut.tar: it could not be decoded; "
                                         "serving the archive itself\n"))
        << program->output();
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")),
              R"({"name":"ArchiveContent", "SubDirectories":[], "files":["cut.tar"]})");
    EXPECT_FALSE(holds_deleted_file(program->pid(), scratch()));
}

// A 7z holding a zip holding the tar, beside a plain file: every level lists,
// and serves an item, through one running program.
TEST_F(InnerArchives, BrowsesIntoArchivesInsideArchives)
{
    work_.write_file("nest/readme.txt", "outer readme\n");
    run_in(work_.path(), "cp tree.tar nest/ && cd nest && zip -q -0 inner.zip tree.tar && rm tree.tar && "
                         "printf 'not an archive' > plain.bin && 7z a -bd -bso0 ../outer.7z inner.zip readme.txt plain.bin");
    unsigned short port = 0;
    auto program = serve("outer.7z", port);
    std::string plain_listing;
    {
        unsigned short plain_port = 0;
        auto plain = serve("tree.tar", plain_port);
        plain_listing = reply_body(http_get(plain_port, "/ArchiveContent"));
    }
    const std::string tar_listing =
        "{\"name\":\"tree.tar\"" + plain_listing.substr(std::string("{\"name\":\"ArchiveContent\"").size());

    struct exchange {
        const char* target;
        std::string status_line;
        std::string body;
    };
    const exchange table[] = {
        {"/ArchiveContent/readme.txt", "HTTP/1.0 200 OK", "outer readme\n"},
        {"/ArchiveContent/inner.zip?list", "HTTP/1.0 200 OK",
         R"({"name":"inner.zip", "SubDirectories":[], "files":["tree.tar"]})"},
        {"/ArchiveContent/inner.zip/tree.tar", "HTTP/1.0 200 OK", read_file(work_.path() + "tree.tar")},
        {"/ArchiveContent/inner.zip/tree.tar?list", "HTTP/1.0 200 OK", tar_listing},
        {"/ArchiveContent/inner.zip/tree.tar/tree/sub/b.bin", "HTTP/1.0 200 OK", known_bytes(300000, 7)},
        {"/ArchiveContent/inner.zip/tree.tar/tree/sub/deeper/c.txt", "HTTP/1.0 200 OK", known_bytes(5000, 8)},
        // Paths that lead nowhere: not an archive, a missing name.
        {"/ArchiveContent/plain.bin/x", "HTTP/1.0 404 Not Found", ""},
        {"/ArchiveContent/plain.bin?list", "HTTP/1.0 404 Not Found", ""},
        {"/ArchiveContent/readme.txt/x", "HTTP/1.0 404 Not Found", ""},
        {"/ArchiveContent/inner.zip/missing", "HTTP/1.0 404 Not Found", ""},
        {"/ArchiveContent/inner.zip/tree.tar/tree/sub/nothing", "HTTP/1.0 404 Not Found", ""},
        {"/ArchiveContent/inner.zip/tree.tar/tree/a.txt/deeper", "HTTP/1.0 404 Not Found", ""},
    };
    for (int round = 0; round < 2; ++round) {  // the second round finds the archives open
        for (const exchange& expected : table) {
            SCOPED_TRACE(expected.target);
            const std::string reply = http_get(port, expected.target);
            EXPECT_EQ(reply_status_line(reply), expected.status_line);
            if (!expected.body.empty()) {
                EXPECT_EQ(reply_body(reply), expected.body);
            }
        }
    }
    EXPECT_TRUE(holds_deleted_file(program->pid(), scratch()));
    program->signal(SIGINT);
    EXPECT_EQ(program->wait_for_exit(), 0);
    EXPECT_TRUE(entries_of(scratch()).empty());
}

TEST_F(InnerArchives, ADamagedArchiveInsideAnswers500AndTheRestStillServes)
{
    // A zip whose stored tar has its bytes changed: the check of its CRC fails.
    run_in(work_.path(), "zip -q -0 inner.zip tree.tar && "
                         "python3 -c \"import sys; b = bytearray(open('inner.zip','rb').read()); "
                         "b[40000] ^= 0xff; open('inner.zip','wb').write(b)\" && "
                         "printf hi > ok.txt && 7z a -bd -bso0 outer.7z inner.zip ok.txt");
    unsigned short port = 0;
    auto program = serve("outer.7z", port);
    for (const char* target : {"/ArchiveContent/inner.zip?list", "/ArchiveContent/inner.zip/tree.tar?list",
                               "/ArchiveContent/inner.zip/tree.tar/tree/a.txt"}) {
        SCOPED_TRACE(target);
        const std::string reply = http_get(port, target);
        if (std::string(target) == "/ArchiveContent/inner.zip?list") {
            EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 200 OK");  // the zip itself is whole
            continue;
        }
        EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 500 Internal Server Error");
        EXPECT_NE(reply_body(reply).find("cannot be opened"), std::string::npos);
    }
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/ok.txt")), "hi");
}

TEST_F(InnerArchives, AClientThatReadsNothingDoesNotHoldUpItsInnerArchive)
{
    // A tar inside a 7z with an item far larger than what a stalled client's
    // socket and queue take: the request that reads nothing keeps its handler
    // busy, and another request into the same tar is served meanwhile.
    work_.write_file("big/huge.bin", known_bytes(24 << 20, 5));
    work_.write_file("big/small.txt", "small inside\n");
    run_in(work_.path(), "cd big && tar -cf ../big.tar huge.bin small.txt && cd .. && "
                         "7z a -bd -bso0 -mx=0 holder.7z big.tar tree.tar");
    unsigned short port = 0;
    auto program = start_server(VORSEL_EXECUTABLE, work_.path(), "holder.7z", port,
                                {"TMPDIR=" + scratch(), "VORSEL_WRITE_TIMEOUT_MS=600000"});
    EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/big.tar/small.txt")), "small inside\n");

    const int stalled = connect_loopback(port);
    ASSERT_GE(stalled, 0);
    int small_buffer = 65536;
    setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small_buffer, sizeof small_buffer);
    const std::string received = start_get(stalled, "/ArchiveContent/big.tar/huge.bin", 1);
    EXPECT_TRUE(holds_head_and(received, 1)) << received.substr(0, 200);

    const timed_reply other = timed_get(port, "/ArchiveContent/big.tar/small.txt", std::chrono::seconds(20));
    EXPECT_TRUE(other.ended) << "held up by the client that reads nothing";
    EXPECT_EQ(other.body, "small inside\n");
    close(stalled);
}

// ...and gone however the program ends.
TEST_F(InnerArchives, TheTemporaryFileGoesWithTheProgram)
{
    run_in(work_.path(), "xz -c tree.tar > tree.tar.xz");
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        unsigned short port = 0;
        auto program = serve("tree.tar.xz", port);
        ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n"));
        EXPECT_TRUE(holds_deleted_file(program->pid(), scratch()));
        program->signal(signal);
        const int status = program->wait_for_exit();
        EXPECT_EQ(status, signal == SIGKILL ? -1 : 0);
        EXPECT_TRUE(entries_of(scratch()).empty());
    }
}

// The console lines of a chain from `archive` that opens `steps` one after
// another. The item of a gzip file is read through seek points.
std::string chain_lines(const std::string& archive, const std::vector<std::string>& steps)
{
    std::string lines;
    std::string before = archive;
    for (const std::string& step : steps) {
        const bool seeks = before.ends_with(".gz");
        lines += (seeks ? "reading the inner archive " + step + " through seek points, without a copy\n"
                        : "decoding the inner archive " + step + " into a temporary file\n") +
                 "opened the inner archive " + step + "\n";
        before = step;
    }
    return lines;
}

TEST_F(InnerArchives, ChainsOfSingleItemsOpenAsTheirInnermostArchive)
{
    // tree.cpio.gz alone in a zip is laid out as an rpm is; l2.zip to l5.zip
    // each hold the one before, l2.zip holds tree.tar.gz.
    run_in(work_.path(), "find tree | cpio --quiet -o -H newc > tree.cpio && gzip -k tree.cpio && "
                         "zip -q rpmlike.zip tree.cpio.gz && gzip -k tree.tar && zip -q -0 l2.zip tree.tar.gz && "
                         "zip -q l3.zip l2.zip && zip -q l4.zip l3.zip && zip -q l5.zip l4.zip");
    struct chain {
        const char* archive;
        std::vector<std::string> steps;
        const char* innermost;  // served alone, it lists as the chain does; null: the tree is not reached
    };
    const chain table[] = {
        {"rpmlike.zip", {"tree.cpio.gz", "tree.cpio"}, "tree.cpio"},
        {"l2.zip", {"tree.tar.gz", "tree.tar"}, "tree.tar"},
        {"l4.zip", {"l3.zip", "l2.zip", "tree.tar.gz", "tree.tar"}, "tree.tar"},
        {"l5.zip", {"l4.zip", "l3.zip", "l2.zip", "tree.tar.gz"}, nullptr},
    };
    for (const chain& c : table) {
        SCOPED_TRACE(c.archive);
        const std::string expected_listing =
            c.innermost ? listing_of(c.innermost)
                        : R"({"name":"ArchiveContent", "SubDirectories":[], "files":["tree.tar"]})";
        unsigned short port = 0;
        auto program = serve(c.archive, port);
        ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
        EXPECT_NE(program->output().find(chain_lines(c.archive, c.steps)), std::string::npos) << program->output();
        EXPECT_EQ(program->output().find("cannot open"), std::string::npos) << program->output();
        const bool stopped = program->output().find("not opening the inner archive tree.tar: 4 levels are opened at "
                                                    "most\n") != std::string::npos;
        EXPECT_EQ(stopped, c.innermost == nullptr) << program->output();
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")), expected_listing);
        if (c.innermost) {
            EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/sub/b.bin")), known_bytes(300000, 7));
            EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/sub/deeper/c.txt")), known_bytes(5000, 8));
            const std::string details = reply_body(http_get(port, "/ArchiveContent?details"));
            EXPECT_NE(details.find("\"size\":300000"), std::string::npos) << details;
        } else {
            EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree.tar")), read_file(work_.path() + "tree.tar"));
        }
        // Only the innermost level's temporary file is still held, and none is left behind.
        EXPECT_EQ(deleted_files_held(program->pid(), scratch()), 1u);
        program->signal(SIGINT);
        EXPECT_EQ(program->wait_for_exit(), 0);
        EXPECT_TRUE(entries_of(scratch()).empty());
    }
}

TEST_F(InnerArchives, APackageWhoseMainItemIsNotItsOnlyArchiveIsServedAsItself)
{
    // The library names a Debian package's data tar its main item, but the
    // control tar beside it is an archive too: no chain.
    work_.write_file("pkg/DEBIAN/control", "Package: sample\nVersion: 1\nArchitecture: all\n"
                                           "Maintainer: Nobody <nobody@example.org>\nDescription: a sample\n");
    work_.write_file("pkg/usr/share/sample/a.txt", "hello\n");
    run_in(work_.path(), "dpkg-deb -Zgzip --root-owner-group --build pkg sample.deb >/dev/null");
    unsigned short port = 0;
    auto program = serve("sample.deb", port);
    ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
    EXPECT_EQ(program->output().find("inner archive"), std::string::npos) << program->output();
    const std::string listing = reply_body(http_get(port, "/ArchiveContent"));
    EXPECT_NE(listing.find("\"control.tar.gz\""), std::string::npos) << listing;
    EXPECT_NE(listing.find("\"data.tar.gz\""), std::string::npos) << listing;
}

// The password of VORSEL_PASSWORD reaches every level of a chain: it opens an
// inner archive whose names are encrypted, and decodes the innermost archive's
// encrypted items that a request brings no password for.
TEST_F(InnerArchives, ThePasswordOfTheEnvironmentOpensEveryLevelOfAChain)
{
    run_in(work_.path(), "7z a -bd -bso0 -pSecret -mhe=on locked.7z tree.tar && gzip -k locked.7z && "
                         "zip -q -P Secret sealed.zip tree/a.txt tree/sub/b.bin && gzip -k sealed.zip");
    struct chain {
        const char* archive;
        std::vector<std::string> steps;
        const char* item;
        std::string bytes;
    };
    const chain table[] = {
        {"locked.7z.gz", {"locked.7z", "tree.tar"}, "/ArchiveContent/tree/sub/b.bin", known_bytes(300000, 7)},
        {"sealed.zip.gz", {"sealed.zip"}, "/ArchiveContent/tree/sub/b.bin", known_bytes(300000, 7)},
    };
    for (const chain& c : table) {
        SCOPED_TRACE(c.archive);
        unsigned short port = 0;
        auto program = serve(c.archive, port, {"VORSEL_PASSWORD=Secret"});
        ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
        EXPECT_NE(program->output().find(chain_lines(c.archive, c.steps)), std::string::npos) << program->output();
        const std::string reply = http_get(port, c.item);
        EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 200 OK");
        EXPECT_EQ(reply_body(reply), c.bytes);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/a.txt")), "hello\n");
    }
}

}  // namespace
