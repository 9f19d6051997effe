// Where the viewer's page comes from: the lookup order, through the real program
// copied into made-up layouts; the installed program run from elsewhere; the
// Debian package's files and dependencies.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "app/page_folder.h"
#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;
namespace fs = std::filesystem;

namespace {

const std::string banner = "Vorsel -- a web archive browser based on 7-Zip\n";
const std::string page_source = VORSEL_SOURCE_DIR "/HTML/";

// Makes `folder`/a.7z holding one file a.txt; answers the archive's path.
std::string make_archive(const std::string& folder)
{
    temp_folder source;
    source.write_file("a.txt", "a");
    run_7z({"a", "-bd", folder + "a.7z", "a.txt"}, source.path());
    return folder + "a.7z";
}

struct page_reply {
    std::string status_line;
    std::string body;
    std::string console;  // what the program wrote until it logged the request
    std::string expected_console;  // the banner, the address line, `line` and the request
};

// Runs `program` on `archive` in `working_directory` and gets `target`. The
// console is expected to hold `line` after the address line.
page_reply get_from(const std::string& program, const std::string& archive, const std::string& working_directory,
                    const std::string& target, const std::string& line)
{
    process_options options;
    options.environment.push_back("BROWSER=true");
    options.working_directory = working_directory;
    running_program served(program, {archive}, options);
    const unsigned short port = served.wait_for_port();
    const std::string reply = port ? http_get(port, target) : std::string();
    served.wait_for_output(target + "\n");
    return {reply_status_line(reply), reply_body(reply), served.output(),
            banner + "server listening @ http://127.0.0.1:" + std::to_string(port) + "/\n" + line + "Press Ctrl+C to stop.\n" + target + "\n"};
}

std::string serving_line(const std::string& folder)
{
    return "serving the viewer's page from " + folder + "\n";
}

// Every regular file below `folder`, by its path relative to it.
std::set<std::string> files_below(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), folder).string());
    }
    return files;
}

// What installing puts below the prefix: the program, the whole page folder and
// the manual page; nothing else.
std::set<std::string> files_to_install()
{
    std::set<std::string> files{"bin/vorsel", "share/man/man1/vorsel.1"};
    for (const std::string& page_file : files_below(page_source))
        files.insert("share/vorsel/HTML/" + page_file);
    return files;
}

}  // namespace

TEST(PageFolder, TriesTheWorkingDirectoryThenTheInstalledPageThenBesideAndAboveTheProgram)
{
    const auto asked_for = [](const std::string& program_folder) {
        std::vector<std::string> asked;
        const app::page_folder_choice choice = app::choose_page_folder(program_folder, [&](const std::string& folder) {
            asked.push_back(folder);
            return false;
        });
        EXPECT_EQ(choice.folder, "HTML/");
        EXPECT_EQ(choice.place, app::page_place::nowhere);
        return asked;
    };
    using folders = std::vector<std::string>;
    EXPECT_EQ(asked_for("/opt/v/bin/"), (folders{"HTML/", "/opt/v/share/vorsel/HTML/", "/opt/v/bin/HTML/", "/opt/v/HTML/"}));
    EXPECT_EQ(asked_for("/"), (folders{"HTML/", "/share/vorsel/HTML/", "/HTML/", "/HTML/"}));
    EXPECT_EQ(asked_for(""), (folders{"HTML/"}));

    const app::page_folder_choice chosen =
        app::choose_page_folder("/opt/v/bin/", [](const std::string& folder) { return folder == "/opt/v/bin/HTML/"; });
    EXPECT_EQ(chosen.folder, "/opt/v/bin/HTML/");
    EXPECT_EQ(chosen.place, app::page_place::beside_program);
}

TEST(PageFolder, TheRealProgramServesTheFirstFolderThatHoldsIndexHtml)
{
    // Every place holds a page; each round takes the chosen one away.
    temp_folder place;
    const std::string root = fs::canonical(place.path()).string() + "/";
    const std::string program = root + "prefix/bin/vorsel";
    copy_file(VORSEL_EXECUTABLE, program);
    const std::string work = place.make_folder("work") + "/";
    const std::string archive = make_archive(place.path());
    const struct {
        std::string folder;
        std::string line;  // the console line that names it
    } rounds[] = {
        {"work/HTML/", ""},
        {"prefix/share/vorsel/HTML/", serving_line(root + "prefix/share/vorsel/HTML/")},
        {"prefix/bin/HTML/", serving_line(root + "prefix/bin/HTML/")},
        {"prefix/HTML/", serving_line(root + "prefix/HTML/")},
    };
    for (const auto& round : rounds)
        place.write_file(round.folder + "index.html", round.folder);
    // A folder without index.html does not count, though it has other files.
    place.write_file("prefix/share/vorsel/HTML/page.css", "");
    place.write_file("work/HTML/other.html", "other");

    for (const auto& round : rounds) {
        SCOPED_TRACE(round.folder);
        const page_reply page = get_from(program, archive, work, "/index.html", round.line);
        EXPECT_EQ(page.status_line, "HTTP/1.0 200 OK");
        EXPECT_EQ(page.body, round.folder);
        EXPECT_EQ(page.console, page.expected_console);
        fs::remove(place.path() + round.folder + "index.html");
    }

    // None is left: HTML/ under the working directory is used all the same.
    const page_reply missing = get_from(program, archive, work, "/index.html", "");
    EXPECT_EQ(missing.status_line, "HTTP/1.0 404 Not Found");
    EXPECT_EQ(missing.console, missing.expected_console);
    const page_reply other = get_from(program, archive, work, "/other.html", "");
    EXPECT_EQ(other.body, "other");
    EXPECT_EQ(other.console, other.expected_console);
}

TEST(Install, TheInstalledProgramServesItsOwnPageFromAnyFolder)
{
    temp_folder place;
    const std::string prefix = fs::canonical(place.path()).string() + "/usr";
    const process_result installed = run_process(VORSEL_CMAKE, {"--install", VORSEL_BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(installed.exit_status, 0) << installed.out << installed.err;

    EXPECT_EQ(files_below(prefix), files_to_install());
    for (const std::string& page_file : files_below(page_source))
        EXPECT_EQ(read_file(prefix + "/share/vorsel/HTML/" + page_file), read_file(page_source + page_file)) << page_file;

    // Run from a folder of its own on an archive named relative to it.
    const std::string elsewhere = place.make_folder("elsewhere") + "/";
    make_archive(elsewhere);
    const std::string page_folder = prefix + "/share/vorsel/HTML/";
    const page_reply page = get_from(prefix + "/bin/vorsel", "a.7z", elsewhere, "/index.html", serving_line(page_folder));
    EXPECT_EQ(page.status_line, "HTTP/1.0 200 OK");
    EXPECT_EQ(page.body, read_file(page_source + "index.html"));
    // The archive opened without a message: nothing stands between the lines.
    EXPECT_EQ(page.console, page.expected_console);
}

TEST(Install, TheDebianPackageHoldsTheInstalledFilesAndNeedsThe7ZipPlugIn)
{
    temp_folder place;
    const process_result packed =
        run_process(VORSEL_CPACK, {"-G", "DEB", "--config", VORSEL_BUILD_DIR "/CPackConfig.cmake", "-B", place.path()});
    ASSERT_EQ(packed.exit_status, 0) << packed.out << packed.err;
    std::string package;
    for (const auto& entry : fs::directory_iterator(place.path())) {
        if (entry.path().extension() == ".deb")
            package = entry.path().string();
    }
    ASSERT_FALSE(package.empty()) << packed.out;

    const process_result depends = run_process("/usr/bin/dpkg-deb", {"--field", package, "Depends"});
    EXPECT_NE(depends.out.find("p7zip-full | 7zip"), std::string::npos) << depends.out;

    // The contents, one "MODE OWNER SIZE DATE TIME ./usr/PATH" line each; regular
    // files have modes that start with '-'.
    const process_result contents = run_process("/usr/bin/dpkg-deb", {"--contents", package});
    ASSERT_EQ(contents.exit_status, 0) << contents.err;
    std::set<std::string> files;
    std::istringstream lines(contents.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t path = line.find(" ./usr/");
        if (line.starts_with("-") && path != std::string::npos)
            files.insert(line.substr(path + 7));
    }
    EXPECT_EQ(files, files_to_install());
}
