// The test of the archive through the real executable over plain sockets: a
// table of sound and damaged archives made by the 7z tool and Python, where
// each item the server reports as not sound, with its kind, must be what
// `7z t` reports of the same archive, and the counts must add up.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/support/archive_tools.h"
#include "tests/support/listing_files.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"

using namespace test_support;

namespace {

// Text that deflates (so that a flipped byte lands in compressed data), bytes
// that do not (stored as they are), an empty file and a nested folder.
const char* const make_tree = R"(
import os, random, sys
root = sys.argv[1]
rng = random.Random(23)
def put(path, data):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    open(full, 'wb').write(data)
for i in range(6):
    put('text/part%d.txt' % i, ''.join(rng.choice('abc defg\n') for _ in range(30000)).encode())
put('raw/noise.bin', bytes(rng.randrange(256) for _ in range(600000)))
put('raw/deep/empty', b'')
)";

// Changes archive files in place: flip BYTE at the middle of the named zip
// item's data, flip a byte at a fraction of the file, or cut the file short.
const char* const damage = R"(
import sys, zipfile
path, how, arg = sys.argv[1], sys.argv[2], sys.argv[3]
data = bytearray(open(path, 'rb').read())
if how == 'zip-item':
    info = zipfile.ZipFile(path).getinfo(arg)
    at = info.header_offset
    start = at + 30 + int.from_bytes(data[at + 26:at + 28], 'little') + int.from_bytes(data[at + 28:at + 30], 'little')
    data[start + info.compress_size // 2] ^= 0x5A
elif how == 'flip':
    data[int(len(data) * float(arg))] ^= 0x5A
elif how == 'cut':
    del data[int(len(data) * float(arg)):]
open(path, 'wb').write(data)
)";

// The kind of result that the test names for the text `7z t` gives an item.
std::string kind_of_tool_text(const std::string& text)
{
    if (text.find("password") != std::string::npos)
        return "password";
    if (text.find("CRC") != std::string::npos)
        return "crc";
    if (text.find("Unavailable") != std::string::npos)
        return "unavailable";
    if (text.find("Unexpected end") != std::string::npos)
        return "truncated";
    if (text.find("Unsupported") != std::string::npos)
        return "unsupported";
    return "data";
}

// What `7z t` says is wrong with each item: "ERROR: <text> : <path>" lines.
std::map<std::string, std::string> tool_test(const std::string& archive, const std::string& password)
{
    const process_result tested = run_process("/usr/bin/7z", {"t", "-p" + password, archive});
    std::map<std::string, std::string> bad;
    std::istringstream lines(tested.out + "\n" + tested.err);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t separator = line.rfind(" : ");
        if (line.rfind("ERROR: ", 0) == 0 && separator != std::string::npos)
            bad[line.substr(separator + 3)] = kind_of_tool_text(line.substr(7, separator - 7));
    }
    return bad;
}

// What the server's test said: the bad items, the last line and how many progress lines came.
struct test_outcome {
    std::string status_line;
    std::map<std::string, std::string> bad;
    std::optional<json_value> done;
    std::optional<json_value> first_progress;
    std::string body;
};

test_outcome run_test(unsigned short port, const std::string& headers)
{
    const timed_reply reply = timed_request(
        port, "GET /ArchiveContent?test HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers + "\r\n", std::chrono::seconds(60));
    test_outcome result;
    result.status_line = reply.status_line;
    result.body = reply.body;
    EXPECT_TRUE(reply.ended);
    std::istringstream lines(reply.body);
    for (std::string line; std::getline(lines, line);) {
        const std::optional<json_value> value = parse_strict_json(line);
        if (!value) {
            ADD_FAILURE() << "not JSON: " << line;
            continue;
        }
        EXPECT_FALSE(result.done) << "nothing follows done: " << line;
        const std::string& key = value->keys.at(0);
        if (key == "done") {
            result.done = value->at("done");
        } else if (key == "progress") {
            if (!result.first_progress)
                result.first_progress = value->at("progress");
        } else {
            const std::string& path = value->at("item").text;
            EXPECT_EQ(result.bad.count(path), 0u) << "reported twice: " << path;
            result.bad[path] = value->at("result").text;
        }
    }
    return result;
}

struct test_case {
    const char* name;
    const char* archive;            // made from the tree
    std::vector<std::string> make;  // 7z's options
    const char* damage_how;         // none: ""
    const char* damage_arg;
    const char* password;           // what the request brings (and 7z t is given); none: ""
    bool expect_bad;                // the case is made so that some item is not sound
};

class TestRoute : public ::testing::Test {
protected:
    void SetUp() override { run_python(make_tree, {work_.path() + "tree"}); }

    temp_folder work_;
};

}  // namespace

TEST_F(TestRoute, ReportsWhatTheToolReportsOfSoundAndDamagedArchives)
{
    const std::vector<test_case> cases = {
        {"sound zip", "sound.zip", {"-tzip"}, "", "", "", false},
        {"sound solid 7z", "sound.7z", {"-t7z", "-ms=on"}, "", "", "", false},
        {"sound tar", "sound.tar", {"-ttar"}, "", "", "", false},
        {"zip, a deflated item's byte flipped", "deflated.zip", {"-tzip"}, "zip-item", "text/part3.txt", "", true},
        {"zip, a stored item's byte flipped", "stored.zip", {"-tzip", "-mx=0"}, "zip-item", "raw/noise.bin", "", true},
        {"solid 7z, a byte of its block flipped", "flipped.7z", {"-t7z", "-ms=on", "-mx=1"}, "flip", "0.3", "", true},
        {"7z of items apart, a byte flipped", "apart.7z", {"-t7z", "-ms=off", "-mx=1"}, "flip", "0.5", "", true},
        {"tar cut short", "cut.tar", {"-ttar"}, "cut", "0.8", "", true},
        {"encrypted zip without its password", "locked.zip", {"-tzip", "-psecret"}, "", "", "", true},
        {"encrypted zip with its password", "unlocked.zip", {"-tzip", "-psecret"}, "", "", "secret", false},
        {"encrypted 7z without its password", "locked.7z", {"-t7z", "-psecret"}, "", "", "", true},
        {"encrypted 7z with its password", "unlocked.7z", {"-t7z", "-psecret"}, "", "", "secret", false},
    };
    for (const test_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments{"a", "-bso0", "-bsp0"};
        arguments.insert(arguments.end(), c.make.begin(), c.make.end());
        arguments.push_back(work_.path() + c.archive);
        arguments.push_back(".");
        run_7z(arguments, work_.path() + "tree");
        if (*c.damage_how)
            run_python(damage, {work_.path() + c.archive, c.damage_how, c.damage_arg});
        const std::map<std::string, std::string> expected = tool_test(work_.path() + c.archive, c.password);
        EXPECT_EQ(!expected.empty(), c.expect_bad) << "the case is not what it is meant to be";

        unsigned short port = 0;
        auto program = start_server(VORSEL_EXECUTABLE, work_.path(), c.archive, port);
        const std::optional<json_value> listing =
            parse_strict_json(reply_body(http_get(port, "/ArchiveContent?details")));
        ASSERT_TRUE(listing);
        const std::size_t files = listing_files(*listing).size();
        const std::string headers = *c.password ? std::string("X-Archive-Password: ") + c.password + "\r\n" : "";
        const test_outcome got = run_test(port, headers);
        EXPECT_EQ(got.status_line, "HTTP/1.0 200 OK");
        EXPECT_EQ(got.bad, expected) << got.body.substr(0, 2000);
        ASSERT_TRUE(got.done) << got.body.substr(0, 2000);
        ASSERT_TRUE(got.first_progress);
        const json_value& done = *got.done;
        EXPECT_EQ(done.at("items").number, files);
        EXPECT_EQ(got.first_progress->at("of_items").number, files);
        EXPECT_EQ(done.at("bad").number, static_cast<double>(got.bad.size()));
        EXPECT_EQ(done.at("ok").number + done.at("bad").number, done.at("items").number);
        if (!c.expect_bad) {
            // Every byte of every item went through the check.
            EXPECT_EQ(done.at("bytes").number, got.first_progress->at("of_bytes").number);
        }
    }
}

TEST_F(TestRoute, AMalformedPasswordIsRefusedAndTheHeadAloneStartsNothing)
{
    run_7z({"a", "-bso0", "-t7z", work_.path() + "a.7z", "."}, work_.path() + "tree");
    unsigned short port = 0;
    auto program = start_server(VORSEL_EXECUTABLE, work_.path(), "a.7z", port);
    const std::string refused = http_exchange(
        port, "GET /ArchiveContent?test HTTP/1.0\r\nHost: 127.0.0.1\r\nX-Archive-Password: %zz\r\n\r\n");
    EXPECT_EQ(reply_status_line(refused), "HTTP/1.0 400 Bad Request");
    const std::string head = http_exchange(port, "HEAD /ArchiveContent?test HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(reply_status_line(head), "HTTP/1.0 200 OK");
    EXPECT_EQ(reply_header(head, "Content-Type"), "application/x-ndjson");
    EXPECT_EQ(reply_body(head), "");
}

TEST_F(TestRoute, AnArchiveInsideIsTestedAtItsOwnAddress)
{
    run_7z({"a", "-bso0", "-tzip", work_.path() + "inner/damaged.zip", "."}, work_.path() + "tree");
    run_python(damage, {work_.path() + "inner/damaged.zip", "zip-item", "text/part1.txt"});
    const std::map<std::string, std::string> expected = tool_test(work_.path() + "inner/damaged.zip", "");
    ASSERT_EQ(expected.size(), 1u);
    // A second item, so that the outer archive is not one opened through to its only item.
    work_.write_file("inner/readme.txt", "an archive inside\n");
    run_7z({"a", "-bso0", "-t7z", work_.path() + "outer.7z", "."}, work_.path() + "inner");
    unsigned short port = 0;
    auto program = start_server(VORSEL_EXECUTABLE, work_.path(), "outer.7z", port);
    const timed_reply reply = timed_get(port, "/ArchiveContent/damaged.zip?test", std::chrono::seconds(60));
    EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK");
    std::map<std::string, std::string> bad;
    std::optional<json_value> done;
    std::istringstream lines(reply.body);
    for (std::string line; std::getline(lines, line);) {
        const std::optional<json_value> value = parse_strict_json(line);
        ASSERT_TRUE(value) << line;
        if (value->keys.at(0) == "item")
            bad[value->at("item").text] = value->at("result").text;
        else if (value->keys.at(0) == "done")
            done = value->at("done");
    }
    EXPECT_EQ(bad, expected) << reply.body;
    ASSERT_TRUE(done) << reply.body;
    EXPECT_EQ(done->at("items").number, 8);
    EXPECT_EQ(done->at("bad").number, 1);
    // The outer archive on its own is sound.
    const test_outcome outer = run_test(port, "");
    EXPECT_TRUE(outer.bad.empty()) << outer.body;
    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/missing.zip?test")), "HTTP/1.0 404 Not Found");
}
