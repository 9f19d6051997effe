// The Windows program under Wine with the real 7z.dll, talked to from Linux over
// 127.0.0.1: archives listed and served byte for byte, names beyond U+FFFF, the
// places the plug-in library is looked for, passwords, the temporary file of a
// compressed tarball, the seek points and lasting index of a gzip tarball, an
// xz tarball read through its blocks (liblzma built for Windows), contents
// search (RE2 built for Windows), and how the program ends.
#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include <pwd.h>
#include <unistd.h>

using namespace test_support;

namespace {

const std::string windows_build = VORSEL_WINDOWS_BUILD;
const std::string wine_prefix = windows_build + "/wine-prefix";

std::vector<std::string> wine_environment()
{
    return {"WINEPREFIX=" + wine_prefix, "WINEDEBUG=-all", "WINEDLLOVERRIDES=winebrowser.exe=d", "BROWSER="};
}

// Runs a Wine tool (wineserver, reg) to its end.
process_result run_wine(const std::string& program, const std::vector<std::string>& arguments)
{
    process_options options;
    options.environment = wine_environment();
    return run_process(program, arguments, options);
}

// One wineserver for the whole run, kept alive between programs (each Wine
// program otherwise starts one of its own, seconds each), and Wine's own
// services started once with their streams on /dev/null: started by a test's
// program they would hold its pipe open after it ends.
class wine_session : public ::testing::Environment {
public:
    // The server and the services outlive the command that starts them: their
    // streams go to /dev/null, not to a pipe that would then never end.
    void SetUp() override
    {
        run_wine("/bin/sh", {"-c", "wineserver -p </dev/null >/dev/null 2>&1"});
        run_wine("/bin/sh", {"-c", "wine cmd /c exit </dev/null >/dev/null 2>&1"});
    }
    void TearDown() override { run_wine("/bin/sh", {"-c", "wineserver -k </dev/null >/dev/null 2>&1"}); }
};

const auto* const session = ::testing::AddGlobalTestEnvironment(new wine_session);

// A Linux path as Wine's Z: drive shows it, with Windows' separators.
std::string windows_path(const std::string& path)
{
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

// vorsel.exe under Wine on `archive`, from `folder`; the port it listens on, 0
// when it never says one.
struct windows_program {
    windows_program(const std::string& folder, const std::string& archive, std::vector<std::string> environment = {},
                    const std::string& exe = windows_build + "/vorsel.exe")
    {
        process_options options;
        options.working_directory = folder;
        options.environment = wine_environment();
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        program = std::make_unique<running_program>("/usr/bin/wine", std::vector<std::string>{exe, archive},
                                                    options);
    }

    // Console lines end in "\r\n" on Windows, in a pipe too.
    unsigned short wait_for_port()
    {
        const std::string marker = "server listening @ http://127.0.0.1:";
        if (!program->wait_for_output(marker, std::chrono::seconds(60)) ||
            !program->wait_for_output("/\r\n", std::chrono::seconds(5)))
            return 0;
        const std::string& out = program->output();
        return static_cast<unsigned short>(std::strtoul(out.c_str() + out.find(marker) + marker.size(), nullptr, 10));
    }

    std::unique_ptr<running_program> program;
};

std::string header_of(const std::string& reply, const std::string& name)
{
    const std::string key = "\r\n" + name + ": ";
    const std::size_t at = reply.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size();
    return reply.substr(start, reply.find("\r\n", start) - start);
}

std::string get_range(unsigned short port, const std::string& target, const std::string& range)
{
    return http_exchange(port, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nRange: bytes=" + range + "\r\n\r\n");
}

// Items made once for the whole suite; the big one is 24 MiB.
class WindowsProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new temp_folder;
        big_ = new std::string(known_bytes(std::size_t{24} << 20, 21));
        folder_->write_file("src/docs/readme.txt", known_bytes(5000, 1));
        folder_->write_file("src/pictures/photo.bin", known_bytes(700000, 2));
        folder_->write_file("src/big.bin", *big_);
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        delete big_;
    }

    static std::string src() { return folder_->path() + "src"; }

    static temp_folder* folder_;
    static std::string* big_;
};

temp_folder* WindowsProgram::folder_ = nullptr;
std::string* WindowsProgram::big_ = nullptr;

}  // namespace

// A zip, a solid 7z with LZMA2 and a tar: listed and served byte for byte, the
// 24 MiB item whole and in ranges; the process then ends on Ctrl+C's signal.
TEST_F(WindowsProgram, ServesZipSolid7zAndTarByteForByte)
{
    const struct {
        const char* name;
        std::vector<std::string> options;
    } archives[] = {
        {"plain.zip", {"-tzip", "-mx=1"}},
        {"solid.7z", {"-t7z", "-m0=lzma2", "-mx=1", "-ms=on"}},
        {"plain.tar", {"-ttar"}},
    };
    for (const auto& archive : archives) {
        SCOPED_TRACE(archive.name);
        std::vector<std::string> arguments{"a", "-bd", std::string("../") + archive.name};
        arguments.insert(arguments.end(), archive.options.begin(), archive.options.end());
        arguments.insert(arguments.end(), {"docs", "pictures", "big.bin"});
        run_7z(arguments, src());

        windows_program vorsel(folder_->path(), windows_path(folder_->path() + archive.name));
        const unsigned short port = vorsel.wait_for_port();
        ASSERT_NE(port, 0) << vorsel.program->output();
        const std::string listing = reply_body(http_get(port, "/ArchiveContent"));
        for (const char* name : {"\"docs\"", "\"pictures\"", "\"readme.txt\"", "\"photo.bin\"", "\"big.bin\""})
            EXPECT_NE(listing.find(name), std::string::npos) << name << " in " << listing;

        EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/docs/readme.txt")) == known_bytes(5000, 1));
        EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/pictures/photo.bin")) == known_bytes(700000, 2));
        const std::string whole = http_get(port, "/ArchiveContent/big.bin");
        EXPECT_EQ(reply_status_line(whole), "HTTP/1.0 200 OK");
        EXPECT_EQ(header_of(whole, "Content-Length"), std::to_string(big_->size()));
        EXPECT_TRUE(reply_body(whole) == *big_) << reply_body(whole).size() << " bytes";

        const std::string middle = get_range(port, "/ArchiveContent/big.bin", "12345678-12445677");
        EXPECT_EQ(reply_status_line(middle), "HTTP/1.0 206 Partial Content");
        EXPECT_TRUE(reply_body(middle) == big_->substr(12345678, 100000));
        const std::string tail = get_range(port, "/ArchiveContent/big.bin", "-1000");
        EXPECT_EQ(header_of(tail, "Content-Range"),
                  "bytes " + std::to_string(big_->size() - 1000) + "-" + std::to_string(big_->size() - 1) + "/" +
                      std::to_string(big_->size()));
        EXPECT_TRUE(reply_body(tail) == big_->substr(big_->size() - 1000));

        vorsel.program->signal(SIGINT);
        EXPECT_EQ(vorsel.program->wait_for_exit(std::chrono::seconds(30)), 0) << vorsel.program->output();
    }
}

// An archive whose path and item names hold characters beyond U+FFFF, which
// cross Windows' interfaces as surrogate pairs.
TEST_F(WindowsProgram, NamesBeyondTheBasicPlane)
{
    const std::string clef = "\xF0\x9D\x84\x9E";   // U+1D11E
    const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600
    const std::string inside = folder_->make_folder("names " + clef);
    folder_->write_file("names " + clef + "/in/" + smile + " caf\xC3\xA9.txt", "beyond the plane");
    run_7z({"a", "-bd", "-tzip", "../" + smile + " archive.zip", "in"}, inside);

    windows_program vorsel(folder_->path(), windows_path(inside + "/../" + smile + " archive.zip"));
    const unsigned short port = vorsel.wait_for_port();
    ASSERT_NE(port, 0) << vorsel.program->output();
    const std::string listing = reply_body(http_get(port, "/ArchiveContent"));
    EXPECT_NE(listing.find(smile + " caf\xC3\xA9.txt"), std::string::npos) << listing;
    const std::string item = http_get(port, "/ArchiveContent/in/%F0%9F%98%80%20caf%C3%A9.txt");
    EXPECT_EQ(reply_status_line(item), "HTTP/1.0 200 OK");
    EXPECT_EQ(reply_body(item), "beyond the plane");
}

// Without 7z.dll anywhere no format takes the archive: the program says so and
// ends with status 3 once its input ends, as on Linux. The registry value Path
// of Software\7-Zip finds the library, the current user's before the local
// machine's, and VORSEL_7ZIP_PATH before both.
TEST_F(WindowsProgram, FindsThePluginLibraryBesideItThenInTheRegistry)
{
    const std::string program_folder = folder_->make_folder("alone");
    copy_file(windows_build + "/vorsel.exe", program_folder + "/vorsel.exe");
    const std::string library_folder = folder_->make_folder("7-Zip " + std::string("\xC3\xA9"));
    copy_file(windows_build + "/7z.dll", library_folder + "/7z.dll");
    const std::string empty_folder = folder_->make_folder("empty");
    // The viewer's page beside the program, as the package for Windows has it.
    const std::string page = read_file(std::string(VORSEL_SOURCE_DIR) + "/HTML/index.html");
    folder_->write_file("alone/HTML/index.html", page);
    run_7z({"a", "-bd", "-tzip", "../found.zip", "docs"}, src());
    const std::string archive = windows_path(folder_->path() + "found.zip");
    const std::string exe = windows_path(program_folder + "/vorsel.exe");

    struct key {
        std::string name;
        ~key() { run_wine("/usr/bin/wine", {"reg", "delete", name, "/v", "Path", "/f"}); }
        void set(const std::string& folder)
        {
            const process_result added = run_wine("/usr/bin/wine", {"reg", "add", name, "/v", "Path", "/t", "REG_SZ",
                                                                    "/d", windows_path(folder), "/f"});
            EXPECT_EQ(added.exit_status, 0) << added.out << added.err;
        }
    } user{"HKCU\\Software\\7-Zip"}, machine{"HKLM\\Software\\7-Zip"};

    // Whether the program started from `exe` found a library that opens the
    // archive and serves it.
    auto serves = [&](std::vector<std::string> environment = {}) {
        windows_program vorsel(folder_->path(), archive, std::move(environment), exe);
        vorsel.program->close_input();
        if (!vorsel.program->wait_for_output("Press Ctrl+C to stop.", std::chrono::seconds(60))) {
            EXPECT_NE(vorsel.program->output().find("\r\nCan not get input class object\r\n"), std::string::npos)
                << vorsel.program->output();
            EXPECT_EQ(vorsel.program->wait_for_exit(), 3);
            return false;
        }
        const unsigned short port = vorsel.wait_for_port();
        // The platform layer hands paths on with '/' separators.
        EXPECT_NE(vorsel.program->output().find("serving the viewer's page from Z:" + program_folder + "/HTML/"),
                  std::string::npos)
            << vorsel.program->output();
        EXPECT_TRUE(reply_body(http_get(port, "/index.html")) == page);
        return port != 0 && reply_body(http_get(port, "/ArchiveContent/docs/readme.txt")) == known_bytes(5000, 1);
    };

    EXPECT_FALSE(serves()) << "no library anywhere";
    machine.set(library_folder);
    EXPECT_TRUE(serves()) << "the local machine's value";
    machine.set(empty_folder);
    user.set(library_folder);
    EXPECT_TRUE(serves()) << "the current user's value before the local machine's";
    user.set(empty_folder);
    EXPECT_FALSE(serves()) << "the current user's value taken, though its folder is empty";
    EXPECT_TRUE(serves({"VORSEL_7ZIP_PATH=" + windows_path(library_folder)})) << "VORSEL_7ZIP_PATH first";
}

// An item encrypted in a 7z: 401 without its password, its bytes with it.
TEST_F(WindowsProgram, EncryptedItemWithAndWithoutItsPassword)
{
    run_7z({"a", "-bd", "-t7z", "-pS\xC3\xA9same", "../secret.7z", "docs"}, src());
    windows_program vorsel(folder_->path(), windows_path(folder_->path() + "secret.7z"));
    const unsigned short port = vorsel.wait_for_port();
    ASSERT_NE(port, 0) << vorsel.program->output();
    const std::string target = "/ArchiveContent/docs/readme.txt";
    EXPECT_EQ(reply_status_line(http_get(port, target)), "HTTP/1.0 401 Unauthorized");
    const std::string wrong =
        http_exchange(port, "GET " + target + " HTTP/1.0\r\nX-Archive-Password: wrong\r\n\r\n");
    EXPECT_EQ(reply_status_line(wrong), "HTTP/1.0 401 Unauthorized");
    const std::string right =
        http_exchange(port, "GET " + target + " HTTP/1.0\r\nX-Archive-Password: S%C3%A9same\r\n\r\n");
    EXPECT_EQ(reply_status_line(right), "HTTP/1.0 200 OK");
    EXPECT_TRUE(reply_body(right) == known_bytes(5000, 1));
}

// A .tar.bz2 opens as its tar through a temporary file in the user's temporary
// folder (bzip2 has no seek points), which the system deletes when the killed
// program's handle goes.
TEST_F(WindowsProgram, TemporaryFileOfACompressedTarballGoesWhenKilled)
{
    run_7z({"a", "-bd", "-ttar", "../tree.tar", "docs", "pictures"}, src());
    run_7z({"a", "-bd", "-tbzip2", "tree.tar.bz2", "tree.tar"}, folder_->path());
    // Wine names the user's folder after the Linux account.
    const std::filesystem::path temporary = wine_prefix + "/drive_c/users/" + ::getpwuid(::getuid())->pw_name + "/Temp";
    auto temporary_files = [&] {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(temporary, error))
            if (entry.path().filename().string().rfind("vsl", 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    };
    const std::vector<std::string> before = temporary_files();

    windows_program vorsel(folder_->path(), windows_path(folder_->path() + "tree.tar.bz2"));
    const unsigned short port = vorsel.wait_for_port();
    ASSERT_NE(port, 0) << vorsel.program->output();
    EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/pictures/photo.bin")) == known_bytes(700000, 2));
    EXPECT_EQ(temporary_files().size(), before.size() + 1) << "the tar, decoded into the temporary folder";

    vorsel.program->signal(SIGKILL);
    vorsel.program->wait_for_exit();
    // Wine's server closes the killed process's handles a moment later.
    for (int i = 0; i < 100 && temporary_files().size() != before.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(temporary_files(), before);
}

// A .tar.gz is read through seek points, without a temporary file, and its
// lasting index is kept in %LOCALAPPDATA%\vorsel\, where the next start finds it.
TEST_F(WindowsProgram, AGzipTarballIsReadThroughSeekPointsAndItsIndexLasts)
{
    run_7z({"a", "-bd", "-ttar", "../tree.tar", "docs", "pictures", "big.bin"}, src());
    run_7z({"a", "-bd", "-tgzip", "-mx=1", "tree.tar.gz", "tree.tar"}, folder_->path());
    const std::filesystem::path cache =
        wine_prefix + "/drive_c/users/" + ::getpwuid(::getuid())->pw_name + "/AppData/Local/vorsel";
    std::filesystem::remove_all(cache);  // an earlier run's
    auto serve = [&] {
        windows_program vorsel(folder_->path(), windows_path(folder_->path() + "tree.tar.gz"));
        const unsigned short port = vorsel.wait_for_port();
        EXPECT_NE(port, 0) << vorsel.program->output();
        if (port == 0)
            return std::string();
        EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/pictures/photo.bin")) == known_bytes(700000, 2));
        const std::string middle = get_range(port, "/ArchiveContent/big.bin", "12345678-12445677");
        EXPECT_TRUE(reply_body(middle) == big_->substr(12345678, 100000));
        vorsel.program->signal(SIGINT);
        EXPECT_EQ(vorsel.program->wait_for_exit(std::chrono::seconds(30)), 0) << vorsel.program->output();
        return vorsel.program->output();
    };
    const std::string first = serve();
    EXPECT_NE(first.find("through seek points, without a copy"), std::string::npos) << first;
    EXPECT_NE(first.find("opened the inner archive tree.tar\r\n"), std::string::npos) << first;
    std::size_t indexes = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(cache, error))
        indexes += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(indexes, 1u) << "in " << cache.string();
    const std::string second = serve();
    EXPECT_NE(second.find("opened the inner archive tree.tar with the seek points of its lasting index"),
              std::string::npos)
        << second;
}

// Contents search through the Windows build's RE2: a literal in any case, a
// regular expression, and a pattern RE2 refuses.
TEST_F(WindowsProgram, SearchesInsideItems)
{
    temp_folder notes;
    notes.write_file("notes/a.txt", "first line\nthe needle here\n");
    notes.write_file("notes/b.txt", "NEEDLE again\nno match\n");
    run_7z({"a", "-bd", "-tzip", "notes.zip", "notes"}, notes.path());
    windows_program vorsel(notes.path(), windows_path(notes.path() + "notes.zip"));
    const unsigned short port = vorsel.wait_for_port();
    ASSERT_NE(port, 0) << vorsel.program->output();

    const std::string literal = reply_body(http_get(port, "/ArchiveContent?search=needle"));
    EXPECT_NE(literal.find(R"({"item":"notes/a.txt","line":2,"text":"the needle here","ranges":[[4,10]]})"),
              std::string::npos)
        << literal;
    EXPECT_NE(literal.find(R"({"item":"notes/b.txt","line":1,"text":"NEEDLE again","ranges":[[0,6]]})"),
              std::string::npos)
        << literal;
    EXPECT_NE(literal.find(R"("matches":2,)"), std::string::npos) << literal;

    const std::string regex = reply_body(http_get(port, "/ArchiveContent?search=%5Eno%20%5Cw%2B&regex=1"));
    EXPECT_NE(regex.find(R"({"item":"notes/b.txt","line":2,"text":"no match","ranges":[[0,8]]})"), std::string::npos)
        << regex;
    EXPECT_NE(regex.find(R"("matches":1,)"), std::string::npos) << regex;

    EXPECT_EQ(reply_status_line(http_get(port, "/ArchiveContent?search=(a&regex=1")), "HTTP/1.0 400 Bad Request");
    vorsel.program->signal(SIGINT);
    EXPECT_EQ(vorsel.program->wait_for_exit(std::chrono::seconds(30)), 0) << vorsel.program->output();
}

// An xz tarball of several blocks is read through its blocks, with no
// temporary file: its items come byte for byte, the 24 MiB one in a range too.
TEST_F(WindowsProgram, AnXzTarballOfSeveralBlocksIsReadThroughItsBlocks)
{
    run_7z({"a", "-bd", "-ttar", "../blocks.tar", "docs", "pictures", "big.bin"}, src());
    test_support::process_options options;
    options.working_directory = folder_->path();
    ASSERT_EQ(run_process("/bin/sh", {"-c", "xz -T2 --block-size=4MiB -1 -c blocks.tar > blocks.tar.xz"}, options)
                  .exit_status,
              0);
    windows_program vorsel(folder_->path(), windows_path(folder_->path() + "blocks.tar.xz"));
    const unsigned short port = vorsel.wait_for_port();
    ASSERT_NE(port, 0) << vorsel.program->output();
    ASSERT_TRUE(vorsel.program->wait_for_output("Press Ctrl+C to stop.", std::chrono::seconds(60)))
        << vorsel.program->output();
    EXPECT_NE(vorsel.program->output().find("reading the inner archive blocks.tar through seek points, without a copy"),
              std::string::npos)
        << vorsel.program->output();
    EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/pictures/photo.bin")) == known_bytes(700000, 2));
    const std::string middle = get_range(port, "/ArchiveContent/big.bin", "12345678-12445677");
    EXPECT_TRUE(reply_body(middle) == big_->substr(12345678, 100000));
    EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/big.bin")) == *big_);
    vorsel.program->signal(SIGINT);
    EXPECT_EQ(vorsel.program->wait_for_exit(std::chrono::seconds(30)), 0) << vorsel.program->output();
}
