// Items that share a path, through the real executable: every version of a tar
// appended to, and a file where a folder is, listed and served byte for byte,
// in the served archive and in a tar inside it.
#include <gtest/gtest.h>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// versions.tar: three versions of dir/notes.txt (the last one last), a file
// "a" and a folder "a/" holding a/x, and other items around them.
const char* const make_tar = R"(
import io, sys, tarfile
def add(tar, name, data):
    info = tarfile.TarInfo(name)
    info.size = len(data)
    tar.addfile(info, io.BytesIO(data))
with tarfile.open(sys.argv[1], "w", format=tarfile.GNU_FORMAT) as tar:
    add(tar, "dir/notes.txt", b"first version\n")
    add(tar, "dir/other.txt", b"other\n")
    add(tar, "dir/notes.txt", bytes(range(256)) * 400)
    add(tar, "a", b"the file a\n")
    add(tar, "a/x", b"inside the folder a\n")
    add(tar, "dir/notes.txt", b"third and last version\n")
)";

struct served_item {
    const char* path;  // under /ArchiveContent/ (or the tar inside), URL-encoded
    std::string bytes;
};

std::vector<served_item> expected_items()
{
    std::string second;
    for (int i = 0; i < 400; ++i)
        for (int b = 0; b < 256; ++b)
            second += static_cast<char>(b);
    return {
        {"dir/notes.txt", "third and last version\n"},
        {"dir/notes%20(copy%201%20of%203).txt", "first version\n"},
        {"dir/notes%20(copy%202%20of%203).txt", second},
        {"dir/other.txt", "other\n"},
        {"a%20(copy%201%20of%201)", "the file a\n"},
        {"a/x", "inside the folder a\n"},
    };
}

TEST(SharedPaths, EveryVersionIsListedAndServedByteForByte)
{
    temp_folder work;
    run_python(make_tar, {work.path() + "versions.tar"});
    run_7z({"a", "-bd", "-bso0", "holder.7z", "versions.tar"}, work.path());
    work.write_file("readme.txt", "beside\n");
    run_7z({"a", "-bd", "-bso0", "holder.7z", "readme.txt"}, work.path());

    struct place {
        const char* archive;
        std::string prefix;   // of the items' addresses
        std::string listing;  // the address of the listing that shows them
    };
    const place places[] = {
        {"versions.tar", "/ArchiveContent/", "/ArchiveContent"},
        {"holder.7z", "/ArchiveContent/versions.tar/", "/ArchiveContent/versions.tar?list"},
    };
    for (const place& p : places) {
        SCOPED_TRACE(p.archive);
        unsigned short port = 0;
        auto program = start_server(VORSEL_EXECUTABLE, work.path(), p.archive, port);
        const std::string listing = reply_body(http_get(port, p.listing));
        EXPECT_NE(listing.find(R"("files":["notes (copy 1 of 3).txt","notes (copy 2 of 3).txt","notes.txt","other.txt"])"),
                  std::string::npos)
            << listing;
        EXPECT_NE(listing.find(R"x("a (copy 1 of 1)")x"), std::string::npos) << listing;
        EXPECT_NE(listing.find(R"({"name":"a", "SubDirectories":[], "files":["x"]})"), std::string::npos) << listing;
        for (const served_item& item : expected_items()) {
            SCOPED_TRACE(item.path);
            const std::string reply = http_get(port, p.prefix + item.path);
            EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 200 OK");
            EXPECT_TRUE(reply_body(reply) == item.bytes) << reply_body(reply).size() << " bytes";
        }
    }
}

}  // namespace
