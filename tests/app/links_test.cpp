// Links in archives made on Unix, through the real program over plain sockets:
// symbolic links in tar, zip and cpio answer their target as plain text, hard
// links the bytes of the item they name, and the details listing says which
// items are links and to what. A HEAD answers what a GET of the same item
// answers, for links and for encrypted items asked for without a password.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/listing_files.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

const std::string readme = "read me, the linked item\n";

// A tar of every kind of member: a file, symbolic links relative, upward,
// absolute and dangling (one named like a picture), and hard links to the
// file and to a missing one.
const char tar_script[] = R"(
import io, sys, tarfile
with tarfile.open(sys.argv[1], 'w', format=tarfile.GNU_FORMAT) as tar:
    data = sys.argv[2].encode()
    info = tarfile.TarInfo('docs/readme.txt'); info.size = len(data)
    tar.addfile(info, io.BytesIO(data))
    for name, kind, target in [('docs/rel', tarfile.SYMTYPE, 'readme.txt'),
                               ('docs/sub/up', tarfile.SYMTYPE, '../readme.txt'),
                               ('abs', tarfile.SYMTYPE, '/etc/passwd'),
                               ('picture.png', tarfile.SYMTYPE, 'nowhere.png'),
                               ('hard.txt', tarfile.LNKTYPE, 'docs/readme.txt'),
                               ('lost.txt', tarfile.LNKTYPE, 'docs/missing.txt')]:
        info = tarfile.TarInfo(name); info.type = kind; info.linkname = target
        tar.addfile(info)
)";

// A zip made as on Unix: symbolic links are items whose Unix mode says so
// and whose data is the target.
const char zip_script[] = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('docs/readme.txt', sys.argv[2])
    for name, target in [('docs/rel', 'readme.txt'), ('docs/sub/up', '../readme.txt'),
                         ('abs', '/etc/passwd'), ('picture.png', 'nowhere.png')]:
        info = zipfile.ZipInfo(name); info.create_system = 3; info.external_attr = 0o120777 << 16
        z.writestr(info, target)
)";

// A cpio (newc) made by the cpio tool from a folder with real links.
const char cpio_script[] = R"(
import os, subprocess, sys
folder, out = sys.argv[1], sys.argv[2]
os.makedirs(folder + '/docs/sub')
open(folder + '/docs/readme.txt', 'w').write(sys.argv[3])
for name, target in [('docs/rel', 'readme.txt'), ('docs/sub/up', '../readme.txt'),
                     ('abs', '/etc/passwd'), ('picture.png', 'nowhere.png')]:
    os.symlink(target, folder + '/' + name)
os.link(folder + '/docs/readme.txt', folder + '/hard.txt')
names = subprocess.run(['find', '.', '-mindepth', '1'], cwd=folder, capture_output=True, check=True).stdout
subprocess.run(['cpio', '-o', '-H', 'newc', '--quiet', '-O', out], cwd=folder, input=names, check=True)
)";

std::string ask(unsigned short port, const std::string& method, const std::string& path,
                const std::string& password = "")
{
    std::string request = method + " /ArchiveContent/" + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!password.empty())
        request += "X-Archive-Password: " + password + "\r\n";
    return http_exchange(port, request + "\r\n");
}

// What a reply's head says, for comparing a HEAD with a GET.
std::string head_summary(const std::string& reply)
{
    std::string summary = reply_status_line(reply);
    for (const char* name : {"Content-Length", "Content-Type", "Cache-Control", "ETag", "Content-Range"})
        summary += std::string(" | ") + name + ": " + reply_header(reply, name);
    return summary;
}

std::string key_text(const json_value& file, const std::string& key)
{
    return std::count(file.keys.begin(), file.keys.end(), key) ? file.at(key).text : "(none)";
}

class EndToEndLinks : public ::testing::Test {
protected:
    EndToEndLinks() { work_.write_file("HTML/index.html", "page"); }

    std::unique_ptr<running_program> start(const std::string& archive)
    {
        return start_server(VORSEL_EXECUTABLE, work_.path(), archive, port_);
    }

    temp_folder work_;
    unsigned short port_ = 0;
};

}  // namespace

TEST_F(EndToEndLinks, LinksAreListedAndServedAsLinks)
{
    run_python(tar_script, {work_.path() + "links.tar", readme});
    run_python(zip_script, {work_.path() + "links.zip", readme});
    run_python(cpio_script, {work_.path() + "cpio-tree", work_.path() + "links.cpio", readme});
    struct row {
        std::string path;
        std::string link;    // in the details listing; "(none)" for a plain item
        std::string target;  // in the details listing
        std::string body;    // what a GET gives; empty: 404
        std::string type;
    };
    const std::vector<row> symbolic = {
        {"docs/readme.txt", "(none)", "(none)", readme, "text/plain"},
        {"docs/rel", "symbolic", "readme.txt", "readme.txt", "text/plain"},
        {"docs/sub/up", "symbolic", "../readme.txt", "../readme.txt", "text/plain"},
        {"abs", "symbolic", "/etc/passwd", "/etc/passwd", "text/plain"},
        {"picture.png", "symbolic", "nowhere.png", "nowhere.png", "text/plain"},
    };
    std::map<std::string, std::vector<row>> cases = {{"links.tar", symbolic}, {"links.zip", symbolic},
                                                     {"links.cpio", symbolic}};
    cases["links.tar"].push_back({"hard.txt", "hard", "docs/readme.txt", readme, "text/plain"});
    cases["links.tar"].push_back({"lost.txt", "hard", "docs/missing.txt", "", ""});
    // cpio stores each hard link as a file of its own: the library gives its bytes.
    cases["links.cpio"].push_back({"hard.txt", "(none)", "(none)", readme, "text/plain"});

    for (const auto& [archive, rows] : cases) {
        SCOPED_TRACE(archive);
        auto program = start(archive);
        const std::string text = reply_body(http_get(port_, "/ArchiveContent?details"));
        const std::optional<json_value> listing = parse_strict_json(text);
        ASSERT_TRUE(listing) << text;
        const std::map<std::string, const json_value*> files = listing_files(*listing);
        for (const row& r : rows) {
            SCOPED_TRACE(r.path);
            ASSERT_TRUE(files.count(r.path)) << text;
            EXPECT_EQ(key_text(*files.at(r.path), "link"), r.link);
            EXPECT_EQ(key_text(*files.at(r.path), "target"), r.target);

            const std::string got = ask(port_, "GET", r.path);
            if (r.body.empty()) {
                EXPECT_EQ(reply_status_line(got), "HTTP/1.0 404 Not Found");
            } else {
                EXPECT_EQ(reply_status_line(got), "HTTP/1.0 200 OK");
                EXPECT_EQ(reply_body(got), r.body);
                EXPECT_EQ(reply_header(got, "Content-Type"), r.type);
            }
            EXPECT_EQ(head_summary(ask(port_, "HEAD", r.path)), head_summary(got));
        }
        // A range of a link is a range of its target's text.
        const std::string range = http_exchange(
            port_, "GET /ArchiveContent/docs/sub/up HTTP/1.0\r\nHost: 127.0.0.1\r\nRange: bytes=3-\r\n\r\n");
        EXPECT_EQ(reply_status_line(range), "HTTP/1.0 206 Partial Content");
        EXPECT_EQ(reply_body(range), "readme.txt");
    }
}

// Heads against gets, for items whose reply the head alone could get wrong:
// encrypted items without a password (small, and larger than a streamed
// item's queue), with the right one, and links.
TEST_F(EndToEndLinks, HeadAnswersWhatGetAnswers)
{
    work_.write_file("src/notes.txt", known_bytes(3000, 1));
    work_.write_file("src/movie.bin", known_bytes(std::size_t{5} << 20, 2));
    run_7z({"a", "-bd", "-pSesame", work_.path() + "locked.7z", "notes.txt", "movie.bin"}, work_.path() + "src");
    run_7z({"a", "-bd", "-tzip", "-mem=AES256", "-pSesame", work_.path() + "locked.zip", "notes.txt", "movie.bin"},
           work_.path() + "src");
    run_python(tar_script, {work_.path() + "links.tar", readme});
    const struct {
        std::string archive;
        std::string path;
        std::string password;
        std::string status;
    } table[] = {
        {"locked.7z", "notes.txt", "", "HTTP/1.0 401 Unauthorized"},
        {"locked.7z", "movie.bin", "", "HTTP/1.0 401 Unauthorized"},
        {"locked.7z", "notes.txt", "Sesame", "HTTP/1.0 200 OK"},
        {"locked.zip", "notes.txt", "", "HTTP/1.0 401 Unauthorized"},
        {"locked.zip", "movie.bin", "", "HTTP/1.0 401 Unauthorized"},
        {"locked.zip", "movie.bin", "Sesame", "HTTP/1.0 200 OK"},
        {"links.tar", "docs/rel", "", "HTTP/1.0 200 OK"},
        {"links.tar", "hard.txt", "", "HTTP/1.0 200 OK"},
        {"links.tar", "lost.txt", "", "HTTP/1.0 404 Not Found"},
    };
    std::string served;
    std::unique_ptr<running_program> program;
    for (const auto& row : table) {
        SCOPED_TRACE(row.archive + " " + row.path + (row.password.empty() ? "" : " with its password"));
        if (row.archive != served) {
            program = start(row.archive);
            served = row.archive;
            // Items are known as encrypted or as links once the details are read.
            ASSERT_EQ(reply_status_line(http_get(port_, "/ArchiveContent?details")), "HTTP/1.0 200 OK");
        }
        const std::string got = ask(port_, "GET", row.path, row.password);
        const std::string head = ask(port_, "HEAD", row.path, row.password);
        EXPECT_EQ(reply_status_line(got), row.status);
        EXPECT_EQ(head_summary(head), head_summary(got));
        EXPECT_EQ(reply_body(head), "");
    }
}
