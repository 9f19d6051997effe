// Item names in other encodings, through the real program over plain sockets:
// archives made at test time (zip with raw code-page names and the UTF-8 flag
// off, from DOS, Windows and Unix, and by Info-ZIP's zip; GNU tar; cpio made by
// Debian's cpio; zip with the flag), each listed and each item served by the
// address that the listing gives, with the code page from VORSEL_CODE_PAGE or
// detected within those of the system that made the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/strict_json.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

// One item: its name as the archive stores it, how the listing shows it (the
// "name" of each component joined with '/'), the address that reaches it (the
// "address" where one is given, else the name), and its bytes.
struct name_row {
    std::string stored;
    std::string shown;
    std::string address;
};

// U+EF00 + byte, the library's escape of a byte that nothing decoded, in UTF-8.
std::string escape(unsigned char byte)
{
    const char32_t code = 0xEF00 + byte;
    return {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
            static_cast<char>(0x80 | (code & 0x3F))};
}

const std::string replacement = "\uFFFD";

// The names of each table, in its code page (the Japanese ones with a second
// byte 0x5C, which is no folder separator there) and in UTF-8.
const std::map<std::string, std::vector<name_row>> tables = {
    {"utf8",
     {{"表示/ソフト.txt", "表示/ソフト.txt", "表示/ソフト.txt"},
      {"Привет/мир.txt", "Привет/мир.txt", "Привет/мир.txt"},
      {"café.txt", "café.txt", "café.txt"},
      {"plain.txt", "plain.txt", "plain.txt"}}},
    {"932",
     {{"\x95\x5C\x8E\xA6/\x83\x5C\x83\x74\x83\x67.txt", "表示/ソフト.txt", "表示/ソフト.txt"},
      {"\x94\x5C\x97\xCD.txt", "能力.txt", "能力.txt"},
      {"\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x74\x83\x40\x83\x43\x83\x8B.txt", "日本語のファイル.txt",
       "日本語のファイル.txt"},
      {"caf\xC3\xA9.txt", "café.txt", "café.txt"},  // a UTF-8 name among them stays what it is
      {"plain.txt", "plain.txt", "plain.txt"}}},
    {"866",
     {{"\x8F\xE0\xA8\xA2\xA5\xE2/\xAC\xA8\xE0.txt", "Привет/мир.txt", "Привет/мир.txt"},
      {"\x84\xAE\xAA\xE3\xAC\xA5\xAD\xE2\xEB/\x8E\xE2\xE7\xF1\xE2.txt", "Документы/Отчёт.txt",
       "Документы/Отчёт.txt"},
      {"plain.txt", "plain.txt", "plain.txt"}}},
    {"1251",
     {{"\xCF\xF0\xE8\xE2\xE5\xF2/\xEC\xE8\xF0.txt", "Привет/мир.txt", "Привет/мир.txt"},
      {"\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB/\xCE\xF2\xF7\xB8\xF2.txt", "Документы/Отчёт.txt",
       "Документы/Отчёт.txt"}}},
    // Too few bytes to detect a code page from, and none that 932 decodes: two
    // names that differ only there stay two, each reached by its own address.
    {"undecodable",
     {{"bad\xFF.txt", "bad" + replacement + ".txt", "bad" + escape(0xFF) + ".txt"},
      {"bad\xFE.txt", "bad" + replacement + ".txt", "bad" + escape(0xFE) + ".txt"},
      {"dir\xFF/in\xA0", "dir" + replacement + "/in" + replacement, "dir" + escape(0xFF) + "/in" + escape(0xA0)},
      {"ok.txt", "ok.txt", "ok.txt"}}},
};

// Makes the archive `path` of `format` with the rows' names (in `charset`, as
// Python names it, when one is given: the stored names are then UTF-8), each
// item's bytes "item N" for row N.
void make_archive(const std::string& format, const std::string& path, const std::vector<name_row>& rows,
                  const std::string& charset = "")
{
    std::vector<std::string> arguments{format, path, charset};
    for (const name_row& row : rows) {
        static constexpr char hex[] = "0123456789abcdef";
        std::string text;
        for (const char c : row.stored)
            text += {hex[static_cast<unsigned char>(c) >> 4], hex[c & 0xF]};
        arguments.push_back(text);
    }
    run_python(R"(
import io, os, subprocess, sys, tarfile, tempfile, zipfile
kind, path, charset = sys.argv[1], sys.argv[2], sys.argv[3]
names = [bytes.fromhex(n) for n in sys.argv[4:]]
if charset:
    names = [n.decode('utf-8').encode(charset) for n in names]
data = [b'item %d' % i for i in range(len(names))]
class RawName(zipfile.ZipInfo):
    # The name's bytes as they are, and no UTF-8 flag.
    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits
def write_files(folder):
    root = os.fsencode(folder)
    for name, body in zip(names, data):
        file = os.path.join(root, name)
        os.makedirs(os.path.dirname(file), exist_ok=True)
        with open(file, 'wb') as f:
            f.write(body)


hosts = {'zip-dos': 0, 'zip-unix': 3, 'zip-ntfs': 11}
if kind in hosts:
    with zipfile.ZipFile(path, 'w') as z:
        for name, body in zip(names, data):
            info = RawName(name.decode('latin-1'), date_time=(2020, 1, 1, 0, 0, 0))
            info.raw = name
            info.create_system = hosts[kind]
            z.writestr(info, body)
elif kind == 'infozip':
    # Info-ZIP's zip in the C locale stores the names' bytes as they are, with
    # Unix as the host and neither the UTF-8 flag nor a Unicode path field.
    with tempfile.TemporaryDirectory() as folder:
        write_files(folder)
        environment = dict(os.environ, LC_ALL='C')
        subprocess.run(['zip', '-X', '-q', '-r', os.path.abspath(path), '.'], cwd=folder, env=environment,
                       check=True)
elif kind == 'zip-flag':
    with zipfile.ZipFile(path, 'w') as z:
        for name, body in zip(names, data):
            z.writestr(name.decode('utf-8'), body)
elif kind == 'tar':
    with tarfile.open(path, 'w', format=tarfile.GNU_FORMAT, encoding='utf-8', errors='surrogateescape') as t:
        for name, body in zip(names, data):
            info = tarfile.TarInfo(name.decode('utf-8', 'surrogateescape'))
            info.size = len(body)
            t.addfile(info, io.BytesIO(body))
elif kind == 'cpio':
    with tempfile.TemporaryDirectory() as folder:
        write_files(folder)
        with open(path, 'wb') as out:
            subprocess.run(['cpio', '-o', '-H', 'newc', '--quiet'], cwd=folder, stdout=out, check=True,
                           input=b''.join(n + b'\n' for n in names))
else:
    sys.exit('unknown kind ' + kind)
)",
               arguments);
}

// Each file of a listing: its shown path and its address path.
using listed_files = std::vector<std::pair<std::string, std::string>>;

void collect(const json_value& folder, const std::string& shown, const std::string& address, listed_files& files)
{
    auto address_of = [](const json_value& value) {
        for (std::size_t i = 0; i < value.keys.size(); ++i)
            if (value.keys[i] == "address")
                return value.values[i].text;
        return value.at("name").text;
    };
    for (const json_value& file : folder.at("files").items) {
        if (file.type == json_value::kind::string)
            files.emplace_back(shown + file.text, address + file.text);
        else
            files.emplace_back(shown + file.at("name").text, address + address_of(file));
    }
    for (const json_value& sub : folder.at("SubDirectories").items)
        collect(sub, shown + sub.at("name").text + "/", address + address_of(sub) + "/", files);
}

listed_files files_of(const json_value& listing)
{
    listed_files files;
    collect(listing, "", "", files);
    std::sort(files.begin(), files.end());
    return files;
}

// A path percent-encoded for a request line, '/' kept.
std::string encoded(const std::string& path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '.' || c == '-' || c == '_')
            out += c;
        else
            out += {'%', hex[byte >> 4], hex[byte & 0xF]};
    }
    return out;
}

class ItemNamesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { work_.write_file("HTML/index.html", "page"); }

    // Serves the archive of `table` in `format` with `environment` (the plain C
    // locale unless it says otherwise) and checks its listing and each item;
    // gives the console output up to the listing.
    std::string check(const std::string& format, const std::string& table, std::vector<std::string> environment)
    {
        return check(format, table, tables.at(table), "", std::move(environment));
    }

    // The same with the rows' names (UTF-8) stored in `charset`.
    std::string check(const std::string& format, const std::string& table, const std::vector<name_row>& rows,
                      const std::string& charset, std::vector<std::string> environment)
    {
        SCOPED_TRACE(format + " " + table);
        const std::string archive = work_.path() + table + "." + format;
        make_archive(format, archive, rows, charset);
        environment.insert(environment.begin(), "LC_ALL=C");
        unsigned short port = 0;
        EXPECT_TRUE(std::filesystem::exists(archive));
        auto program = start_server(VORSEL_EXECUTABLE, work_.path(), archive, port, environment);
        EXPECT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n"));

        const std::string body = reply_body(http_get(port, "/ArchiveContent"));
        const std::optional<json_value> listing = parse_strict_json(body);
        if (!listing) {
            ADD_FAILURE() << body;
            return program->output();
        }
        listed_files expected;
        for (const name_row& row : rows)
            expected.emplace_back(row.shown, row.address);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(files_of(*listing), expected) << body;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].shown);
            const std::string reply = http_get(port, "/ArchiveContent/" + encoded(rows[i].address));
            EXPECT_EQ(reply_status_line(reply), "HTTP/1.0 200 OK");
            EXPECT_EQ(reply_body(reply), "item " + std::to_string(i));
            if (rows[i].shown != rows[i].address) {
                // The shown name is no address; a download is named as it is shown.
                EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent/" + encoded(rows[i].shown))),
                          "HTTP/1.0 404 Not Found");
                const std::string file_name = rows[i].shown.substr(rows[i].shown.rfind('/') + 1);
                EXPECT_NE(reply.find("filename*=UTF-8''" + encoded(file_name) + "\r\n"), std::string::npos) << reply;
            }
        }
        return program->output();
    }

    temp_folder work_;
};

const std::vector<std::string> byte_formats = {"zip-dos", "zip-unix", "tar", "cpio"};

}  // namespace

TEST_F(ItemNamesEndToEnd, Utf8NamesStayAsTheyAre)
{
    for (const std::string format : {"zip-flag", "zip-dos", "zip-unix", "tar", "cpio"}) {
        const std::string console = check(format, "utf8", {});
        EXPECT_EQ(console.find("not UTF-8"), std::string::npos) << console;
    }
}

TEST_F(ItemNamesEndToEnd, CodePageFromTheEnvironment)
{
    for (const std::string& format : byte_formats)
        for (const std::string table : {"932", "866", "1251"}) {
            const std::string console = check(format, table, {"VORSEL_CODE_PAGE=" + table});
            EXPECT_NE(console.find(" not UTF-8: read in code page " + table + ", from VORSEL_CODE_PAGE\n"),
                      std::string::npos)
                << console;
        }
}

TEST_F(ItemNamesEndToEnd, CodePageDetectedFromAllTheNames)
{
    const std::map<std::string, std::string> charsets = {{"932", "SHIFT_JIS"}, {"866", "IBM866"}, {"1251", "WINDOWS-1251"}};
    for (const std::string& format : byte_formats)
        for (const auto& [table, charset] : charsets) {
            const std::string console = check(format, table, {});
            EXPECT_NE(console.find(" not UTF-8: read in code page " + table + ", detected (" + charset + ")"),
                      std::string::npos)
                << console;
        }
}

TEST_F(ItemNamesEndToEnd, BytesThatNothingDecodesShowAsReplacementAndStayReachable)
{
    for (const std::string& format : byte_formats) {
        const std::string detected = check(format, "undecodable", {});
        EXPECT_NE(detected.find("3 item names hold bytes that no code page decodes: each shows as U+FFFD"),
                  std::string::npos)
            << detected;
        const std::string set = check(format, "undecodable", {"VORSEL_CODE_PAGE=932"});
        EXPECT_NE(set.find("3 item names hold bytes that no code page decodes"), std::string::npos) << set;
    }
}

TEST_F(ItemNamesEndToEnd, TheLocaleOfTheEnvironmentOrUtf8)
{
    // A UTF-8 locale named, one that does not exist, and none: the names decode alike.
    for (const std::string locale : {"LC_ALL=C.UTF-8", "LC_ALL=xx_XX.NOWHERE", "LC_ALL=POSIX"})
        check("zip-dos", "932", {locale});
}

TEST_F(ItemNamesEndToEnd, AnUnknownCodePageIsSaidAndDetectionTakesOver)
{
    const std::string console = check("tar", "866", {"VORSEL_CODE_PAGE=12345"});
    EXPECT_NE(console.find("VORSEL_CODE_PAGE=12345 names no code page that this system decodes"), std::string::npos)
        << console;
    EXPECT_NE(console.find("read in code page 866, detected (IBM866)"), std::string::npos) << console;
}

TEST_F(ItemNamesEndToEnd, TheDetailsListingShowsAndAddressesAlike)
{
    const std::vector<name_row>& rows = tables.at("undecodable");
    const std::string archive = work_.path() + "u.tar";
    make_archive("tar", archive, rows);
    unsigned short port = 0;
    auto program = start_server(VORSEL_EXECUTABLE, work_.path(), archive, port, {"LC_ALL=C"});
    const std::string body = reply_body(http_get(port, "/ArchiveContent?details"));
    const std::optional<json_value> listing = parse_strict_json(body);
    ASSERT_TRUE(listing) << body;
    listed_files expected;
    for (const name_row& row : rows)
        expected.emplace_back(row.shown, row.address);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_of(*listing), expected) << body;
    std::size_t bad = 0;
    for (const json_value& file : listing->at("files").items)
        if (file.at("name").text == "bad" + replacement + ".txt") {
            ++bad;
            EXPECT_EQ(file.at("size").number, 6);
        }
    EXPECT_EQ(bad, 2u);
}

TEST_F(ItemNamesEndToEnd, NamesReadInTheCodePagesOfTheSystemThatMadeTheZip)
{
    // Each row: the names' charset (as Python names it), the zip that holds
    // them as made on that system, and the names.
    const struct {
        std::string charset;
        std::string format;
        std::vector<std::string> names;
    } table[] = {
        {"iso-8859-1", "infozip", {"café crème.txt"}},
        {"iso-8859-1", "zip-unix", {"Übersicht März.txt", "niño señor/año.txt"}},
        {"cp1252", "infozip", {"€ budget – 2020.txt", "“Œuvre” complète.txt"}},
        {"cp850", "zip-dos", {"café crème.txt"}},
        {"cp850", "zip-dos", {"Smørrebrød.txt", "Ærø/Ålborg.txt"}},
        {"cp437", "zip-dos", {"naïve façade.txt", "Größe ½.txt"}},
        {"cp866", "zip-dos", {"Привет/мир.txt", "Документы/Отчёт.txt"}},
        {"cp1251", "zip-ntfs", {"Привет/мир.txt", "Документы/Отчёт.txt"}},
        {"koi8-r", "infozip", {"Привет/мир.txt", "Документы/Отчёт.txt"}},
        {"cp932", "zip-dos", {"表示/ソフト.txt", "日本語のファイル.txt"}},
        {"euc-jp", "infozip", {"表示/ソフト.txt", "日本語のファイル.txt"}},
        {"gbk", "zip-dos", {"中文文件.txt", "报告/说明书.txt"}},
        {"big5", "zip-ntfs", {"中文檔案.txt", "報告/說明書.txt"}},
        {"euc-kr", "infozip", {"한국어 파일.txt", "보고서/설명서.txt"}},
    };
    std::size_t number = 0;
    for (const auto& row : table) {
        std::vector<name_row> rows;
        for (const std::string& name : row.names)
            rows.push_back({name, name, name});
        const std::string console = check(row.format, row.charset + "-" + std::to_string(number++), rows, row.charset, {});
        EXPECT_NE(console.find(" not UTF-8: read in code page "), std::string::npos) << row.charset << "\n" << console;
        if (number == 1) {
            EXPECT_NE(console.find("1 item name is not UTF-8: read in code page 1252, detected (WINDOWS-1252, names "
                                   "from Unix); VORSEL_CODE_PAGE sets another\n"),
                      std::string::npos)
                << console;
        }
    }
}
