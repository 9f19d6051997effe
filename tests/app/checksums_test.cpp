// Items' SHA-256 through the real executable over plain sockets, against
// sha256sum of the files the archives were made from: items in a solid block,
// one of a few megabytes, an empty one, an encrypted one with and without its
// password, and addresses that name no item.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

const char* const make_tree = R"(
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
def put(path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    open(full, 'wb').write(data)
for i in range(4):
    put('small/s%d.txt' % i, ''.join(rng.choice('xyz \n') for _ in range(5000 + i)).encode())
put('big.bin', bytes(rng.randrange(256) for _ in range(5 << 20)))
put('empty/nothing', b'')
)";

// The first field of `sha256sum PATH`.
std::string tool_digest(const std::string& path)
{
    const process_result run = run_process("/usr/bin/sha256sum", {path});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    return run.out.substr(0, run.out.find(' '));
}

std::string get(unsigned short port, const std::string& target, const std::string& headers = "")
{
    return http_exchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
}

class Checksums : public ::testing::Test {
protected:
    void SetUp() override { run_python(make_tree, {work_.path() + "tree"}); }

    temp_folder work_;
};

}  // namespace

TEST_F(Checksums, EachItemsDigestIsTheToolsOfItsFile)
{
    const std::vector<std::string> items = {"small/s0.txt", "small/s2.txt", "small/s3.txt", "big.bin",
                                            "empty/nothing"};
    const struct {
        std::string archive;
        std::string options;
        bool encrypted;
    } archives[] = {{"solid.7z", "-t7z -ms=on", false},
                    {"a.zip", "-tzip", false},
                    {"locked.7z", "-t7z -ms=on -psecret", true},
                    {"a.tar", "-ttar", false}};
    for (const auto& [archive, options, encrypted] : archives) {
        SCOPED_TRACE(archive);
        run_in(work_.path() + "tree", "7z a -bso0 -bsp0 " + options + " ../" + archive + " .");
        unsigned short port = 0;
        auto program = start_server(VORSEL_EXECUTABLE, work_.path(), archive, port);
        const std::string password = encrypted ? "X-Archive-Password: secret\r\n" : "";
        for (const std::string& item : items) {
            SCOPED_TRACE(item);
            const std::string reply = get(port, "/ArchiveContent/" + item + "?sha256", password);
            ASSERT_EQ(reply_status_line(reply), "HTTP/1.0 200 OK") << reply;
            EXPECT_EQ(reply_header(reply, "Content-Type"), "application/json");
            const std::optional<json_value> body = parse_strict_json(reply_body(reply));
            ASSERT_TRUE(body) << reply;
            EXPECT_EQ(body->at("sha256").text, tool_digest(work_.path() + "tree/" + item));
            EXPECT_EQ(body->at("size").number, read_file(work_.path() + "tree/" + item).size());
        }
        if (encrypted) {
            // Without the password the digest of a wrong key's noise is never given.
            EXPECT_EQ(reply_status_line(get(port, "/ArchiveContent/small/s1.txt?sha256")),
                      "HTTP/1.0 401 Unauthorized");
        }
        EXPECT_EQ(reply_status_line(get(port, "/ArchiveContent/small?sha256")), "HTTP/1.0 404 Not Found");
        EXPECT_EQ(reply_status_line(get(port, "/ArchiveContent/missing.txt?sha256")), "HTTP/1.0 404 Not Found");
        // The item itself is still served as before.
        EXPECT_EQ(reply_body(get(port, "/ArchiveContent/small/s1.txt", password)),
                  read_file(work_.path() + "tree/small/s1.txt"));
    }
}
