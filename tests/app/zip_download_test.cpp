// Zips of folders and selections through the real executable over plain
// sockets, on archives made by the 7z tool and tar: each zip read back by
// Python's zipfile and `unzip -t` against the tree the archive was made from
// (names, bytes, CRC-32s, times), its Content-Length against the bytes sent;
// a damaged item that cuts the zip short (and is named on the console); a
// selection across folders; the selection's refusals; and a zip of more than
// 65,535 items. A folder inside an inner archive is zipped too.
#include <gtest/gtest.h>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_check.h"

using namespace test_support;

namespace {

// The tree: folders to any depth, a UTF-8 name, an empty file, a file larger
// than the stream's queue, times on even seconds (the zip format's own).
const char* const make_tree = R"(
import os, random, sys
root = sys.argv[1]
rng = random.Random(23)
def put(path, data, when):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    open(full, 'wb').write(data)
    os.utime(full, (when, when))
put('top/docs/readme.txt', b'read me\n', 1600000000)
put('top/docs/deep/x.bin', bytes(rng.randrange(256) for _ in range(50000)), 1650000002)
put('top/docs/\u00e9t\u00e9 \u2013 caf\u00e9.txt'.encode().decode(), 'caf\u00e9\n'.encode(), 1500000004)
put('top/media/big.bin', rng.randbytes(3 << 20), 1700000006)
put('top/media/empty', b'', 1400000008)
put('other.txt', b'at the root\n' * 100, 1300000010)
)";

struct reply_parts {
    std::string status, length, disposition, body;
};

reply_parts ask(unsigned short port, const std::string& request)
{
    const std::string reply = http_exchange(port, request);
    return {reply_status_line(reply), reply_header(reply, "Content-Length"), reply_header(reply, "Content-Disposition"),
            reply_body(reply)};
}

std::string get(const std::string& method, const std::string& target)
{
    return method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string post_selection(const std::string& body, const std::string& headers = "")
{
    return "POST /ArchiveContent?select HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: text/plain; charset=utf-8\r\n" +
           headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class ZipDownload : public ::testing::Test {
protected:
    ZipDownload()
    {
        run_python(make_tree, {tree_});
        run_in(work_.path(), "cd tree/top && 7z a -bd -tzip inner.zip docs >/dev/null && cd .. && "
                             "7z a -bd -tzip ../t.zip . >/dev/null && 7z a -bd -ms=on ../t.7z . >/dev/null"
                             " && tar -czf ../t.tar.gz * && cd .. && cp -rp tree/top/docs docs");
    }

    std::unique_ptr<running_program> serve(const std::string& archive, unsigned short& port)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port);
    }

    // The zip that `target` answers, saved; fails the test when its length is not the one promised.
    std::string saved_zip(unsigned short port, const std::string& target, const std::string& name)
    {
        const reply_parts zip = ask(port, get("GET", target));
        EXPECT_EQ(zip.status, "HTTP/1.0 200 OK") << target;
        EXPECT_EQ(zip.length, std::to_string(zip.body.size())) << target;
        EXPECT_EQ(ask(port, get("HEAD", target)).length, zip.length) << "HEAD " << target;
        return work_.write_file(name, zip.body);
    }

    temp_folder work_;
    const std::string tree_ = work_.path() + "tree";
};

}  // namespace

TEST_F(ZipDownload, FoldersOfAZipASolid7zAndATarballAreTheTreeTheyWereMadeFrom)
{
    for (const std::string archive : {"t.zip", "t.7z", "t.tar.gz"}) {
        SCOPED_TRACE(archive);
        unsigned short port = 0;
        const auto server = serve(archive, port);
        ASSERT_NE(port, 0);
        const std::string all = saved_zip(port, "/ArchiveContent?zip", "all.zip");
        EXPECT_EQ(zip_differences(all, tree_), "");
        const std::string docs = saved_zip(port, "/ArchiveContent/top/docs?zip", "docs.zip");
        EXPECT_EQ(zip_differences(docs, work_.path() + "docs"), "");
        const std::string inner = saved_zip(port, "/ArchiveContent/top/inner.zip/docs?zip", "inner.zip");
        EXPECT_EQ(zip_differences(inner, work_.path() + "docs"), "");
        EXPECT_EQ(ask(port, get("GET", "/ArchiveContent?zip")).disposition, "attachment; filename*=UTF-8''t.zip");
        EXPECT_EQ(ask(port, get("HEAD", "/ArchiveContent/top/docs?zip")).disposition,
                  "attachment; filename*=UTF-8''docs.zip");
        EXPECT_EQ(ask(port, get("GET", "/ArchiveContent/nowhere?zip")).status, "HTTP/1.0 404 Not Found");
    }
}

TEST_F(ZipDownload, ASelectionAcrossFoldersIsZippedFromTheDeepestFolderHoldingIt)
{
    unsigned short port = 0;
    const auto server = serve("t.7z", port);
    ASSERT_NE(port, 0);
    // The selection's bytes come from the details, read in the background: the
    // details listing answers once they are read.
    ASSERT_EQ(reply_status_line(http_get(port, "/ArchiveContent?details")), "HTTP/1.0 200 OK");
    // top/docs/deep (a folder), top/media/big.bin and top/docs/deep/x.bin again, front-coded.
    const reply_parts made = ask(port, post_selection("0:top/docs/deep\n4:media/big.bin\n4:docs/deep/x.bin\n"));
    ASSERT_EQ(made.status, "HTTP/1.0 200 OK") << made.body;
    const std::string id = made.body.substr(14, made.body.find('"', 14) - 14);
    EXPECT_EQ(made.body, "{\"selection\":\"" + id + "\",\"items\":2,\"bytes\":" + std::to_string(50000 + (3 << 20)) + "}\n");
    run_in(work_.path(), "mkdir -p chosen/docs chosen/media && cp -rp tree/top/docs/deep chosen/docs/ && "
                         "cp -p tree/top/media/big.bin chosen/media/");
    const std::string zip = saved_zip(port, "/ArchiveContent?zip=" + id, "chosen.zip");
    EXPECT_EQ(zip_differences(zip, work_.path() + "chosen"), "");
    EXPECT_EQ(ask(port, get("GET", "/ArchiveContent?zip=" + id)).disposition, "attachment; filename*=UTF-8''top.zip");

    // Percent-encoded names, and the last sixteen kept.
    const reply_parts encoded = ask(port, post_selection("0:top/docs/%C3%A9t%C3%A9%20%E2%80%93%20caf%C3%A9.txt"));
    EXPECT_EQ(encoded.status, "HTTP/1.0 200 OK") << encoded.body;
    for (int n = 0; n < 16; ++n)
        ask(port, post_selection("0:other.txt"));
    EXPECT_EQ(ask(port, get("GET", "/ArchiveContent?zip=" + id)).status, "HTTP/1.0 404 Not Found");

    struct refusal {
        std::string request, status, says;
    } refusals[] = {
        {post_selection("0:top/nothing"), "HTTP/1.0 400 Bad Request", "top/nothing"},
        {post_selection("0:top/docs\n9:x"), "HTTP/1.0 400 Bad Request", "Line 2"},
        {post_selection("top/docs"), "HTTP/1.0 400 Bad Request", "Line 1"},
        {post_selection(std::string((1 << 20) + 1, 'x')), "HTTP/1.0 413 Payload Too Large", ""},
        {"POST /ArchiveContent?select HTTP/1.0\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
         "HTTP/1.0 411 Length Required", ""},
        {"POST /ArchiveContent?zip HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 3\r\n\r\nabc", "HTTP/1.0 501 Not Implemented", ""},
        {get("GET", "/ArchiveContent?zip=999"), "HTTP/1.0 404 Not Found", ""},
    };
    for (const refusal& r : refusals) {
        const reply_parts got = ask(port, r.request);
        EXPECT_EQ(got.status, r.status) << r.request.substr(0, 80);
        EXPECT_NE(got.body.find(r.says), std::string::npos) << got.body;
    }
    // A body that comes in pieces is read whole.
    const std::string body = "0:other.txt\n";
    const std::string head = post_selection(body).substr(0, post_selection(body).size() - body.size());
    const std::string pieces = http_exchange(port, {head, body.substr(0, 5), body.substr(5)});
    EXPECT_EQ(reply_status_line(pieces), "HTTP/1.0 200 OK") << pieces;
}

TEST_F(ZipDownload, ADamagedItemCutsTheZipShortAndIsNamed)
{
    // A stored zip whose middle item has a byte changed: its CRC fails.
    run_in(work_.path(), "cd tree && 7z a -bd -tzip -mx0 ../bad.zip other.txt top/media/big.bin top/docs/readme.txt >/dev/null");
    run_python(R"(
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.find(b'big.bin') + 7 + 1000000
data[at] ^= 0xFF
open(sys.argv[1], 'wb').write(data)
)", {work_.path() + "bad.zip"});
    unsigned short port = 0;
    const auto server = serve("bad.zip", port);
    ASSERT_NE(port, 0);
    const reply_parts zip = ask(port, get("GET", "/ArchiveContent?zip"));
    EXPECT_EQ(zip.status, "HTTP/1.0 200 OK");
    ASSERT_NE(zip.length, "(none)");
    EXPECT_LT(zip.body.size(), std::stoull(zip.length));
    EXPECT_EQ(zip.body.find("PK\x05\x06"), std::string::npos) << "an end record was sent";
    EXPECT_TRUE(server->wait_for_output("top/media/big.bin\n")) << server->output();
    const std::string saved = work_.write_file("cut.zip", zip.body);
    EXPECT_NE(run_process("/usr/bin/unzip", {"-tqq", saved}).exit_status, 0);

    // The other items are whole in a zip of their folder.
    const reply_parts docs = ask(port, get("GET", "/ArchiveContent/top/docs?zip"));
    EXPECT_EQ(docs.length, std::to_string(docs.body.size()));
}

TEST_F(ZipDownload, MoreThan65535ItemsGetZip64EndRecords)
{
    run_python(R"(
import io, sys, tarfile
with tarfile.open(sys.argv[1], 'w') as tar:
    for n in range(70000):
        info = tarfile.TarInfo('many/%02d/%05d' % (n % 50, n))
        data = str(n).encode()
        info.size = len(data)
        info.mtime = 1600000000 + 2 * n
        tar.addfile(info, io.BytesIO(data))
)", {work_.path() + "many.tar"});
    unsigned short port = 0;
    const auto server = serve("many.tar", port);
    ASSERT_NE(port, 0);
    const std::string zip = saved_zip(port, "/ArchiveContent/many?zip", "many.zip");
    const process_result read = run_process("/usr/bin/python3", {"-c", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
infos = z.infolist()
bad = [i.filename for i in infos if z.read(i) != str(int(i.filename[3:])).encode()]
print(len(infos), len(set(i.filename for i in infos)), len(bad), z.testzip())
)", zip});
    EXPECT_EQ(read.out, "70000 70000 0 None\n") << read.err;
    EXPECT_EQ(run_process("/usr/bin/unzip", {"-tqq", zip}).exit_status, 0);
}

// A download is a plain link, which cannot send the password: the selection
// keeps the one its request brought. Without one, the zip is cut at the first
// encrypted item.
TEST_F(ZipDownload, ASelectionKeepsThePasswordItsRequestBrought)
{
    run_in(work_.path(), "cd tree && 7z a -bd -ms=on -mhe=off -psecret ../locked.7z top/docs >/dev/null");
    unsigned short port = 0;
    const auto server = serve("locked.7z", port);
    ASSERT_NE(port, 0);
    const auto selection_id = [&](const std::string& headers) {
        const reply_parts made = ask(port, post_selection("0:top/docs\n", headers));
        EXPECT_EQ(made.status, "HTTP/1.0 200 OK") << made.body;
        return made.body.substr(14, made.body.find('"', 14) - 14);
    };
    const std::string with_password = selection_id("X-Archive-Password: secret\r\n");
    const std::string zip = saved_zip(port, "/ArchiveContent?zip=" + with_password, "locked.zip");
    EXPECT_EQ(zip_differences(zip, work_.path() + "docs"), "");

    const std::string without = selection_id("");
    const reply_parts cut = ask(port, get("GET", "/ArchiveContent?zip=" + without));
    EXPECT_LT(cut.body.size(), zip.size()) << "no password: the zip ends short";
    EXPECT_EQ(ask(port, post_selection("0:top/docs\n", "X-Archive-Password: %zz\r\n")).status,
              "HTTP/1.0 400 Bad Request") << "a malformed password";
}

