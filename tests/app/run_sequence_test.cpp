// The start-up sequence, run as the real executable: loading the plug-in
// libraries from beside the program, from VORSEL_7ZIP_PATH or from the system,
// then opening and listing the archive with its messages and exit statuses.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/archive_tools.h"
#include "tests/support/raw_http.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using test_support::run_process;
using test_support::running_program;
using test_support::temp_folder;

namespace {

const std::string banner = "Vorsel -- a web archive browser based on 7-Zip\n";
const std::string listening = "server listening @ http://127.0.0.1:[1-9][0-9]*/\n";
const std::string stop_hint = "Press Ctrl\\+C to stop\\.\n";
const std::string plugin_dir = VORSEL_TEST_PLUGIN_DIR "/";

// A copy of the executable in a folder of its own, so that what lies beside it
// can be chosen. Nothing near it holds a viewer page, so the console has no
// line about where the page comes from.
struct program_copy {
    temp_folder folder;
    std::string executable = folder.path() + "vorsel";
    program_copy() { test_support::copy_file(VORSEL_EXECUTABLE, executable); }
    void put_beside(const std::string& variant, const std::string& name)
    {
        test_support::copy_file(plugin_dir + "test_plugin_" + variant + ".so", folder.path() + name);
    }
};

// Options that keep the program from opening a real browser.
test_support::process_options no_browser(const std::string& standard_input = {})
{
    test_support::process_options options;
    options.environment.push_back("BROWSER=true");
    options.standard_input = standard_input;
    return options;
}

test_support::process_options with_path_variable(const std::string& value)
{
    test_support::process_options options = no_browser();
    options.environment.push_back("VORSEL_7ZIP_PATH=" + value);
    return options;
}

bool matches(const std::string& text, const std::string& pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

// True when the program opened the archive and serves: it answers a request,
// which only the event loop does, after the listing, and it said nothing else.
bool serves_quietly(running_program& program)
{
    unsigned short port = program.wait_for_port();
    return port != 0 && !test_support::http_get(port, "/ArchiveContent").empty() &&
           program.wait_for_output("/ArchiveContent\n") &&
           matches(program.output(), banner + listening + stop_hint + "/ArchiveContent\n");
}

}  // namespace

TEST(RunSequence, AFailingLibraryIsReportedAndEndsWithStatusOne)
{
    program_copy program;
    program.put_beside("failing_count", "7z.so");
    const auto result = run_process(program.executable, {"whatever.7z"});
    EXPECT_EQ(result.out, banner + "\n7z.dll not found!\n");
    EXPECT_EQ(result.exit_status, 1);
}

TEST(RunSequence, TheLibraryBesideTheProgramWinsOverThePathVariable)
{
    // Only the test plug-in's "accepting" format takes this file; the installed
    // library has no format for it.
    temp_folder data;
    const std::string archive = data.write_file("a.bin", std::string("ACCEPT\0\xFF\x01", 9));
    temp_folder other;
    test_support::copy_file(plugin_dir + "test_plugin_failing_count.so", other.path() + "7z.so");

    program_copy beside;
    beside.put_beside("formats", "7z.so");
    {
        running_program served(beside.executable, {archive}, with_path_variable(other.path()));
        EXPECT_TRUE(serves_quietly(served)) << served.output();
    }

    program_copy bare;
    test_support::copy_file(plugin_dir + "test_plugin_formats.so", other.path() + "7z.so");
    std::string without_slash = other.path();
    without_slash.pop_back();
    {
        running_program served(bare.executable, {archive}, with_path_variable(without_slash));
        EXPECT_TRUE(serves_quietly(served)) << served.output();
    }

    // Without either, the installed library is loaded and knows no such format.
    auto result = run_process(bare.executable, {archive}, no_browser());
    EXPECT_TRUE(matches(result.out, banner + listening + "\nCan not get input class object\n")) << result.out;
    EXPECT_EQ(result.exit_status, 3);
}

TEST(RunSequence, OpensAndListsTheArchiveAndEndsWithStatusZero)
{
    temp_folder data;
    data.write_file("src/a.txt", "a");
    test_support::run_7z({"a", "-bd", "../a.7z", "a.txt"}, data.path() + "src");
    program_copy program;
    running_program served(program.executable, {data.path() + "a.7z"}, no_browser());
    EXPECT_TRUE(serves_quietly(served)) << served.output();
    EXPECT_EQ(test_support::reply_body(test_support::http_get(served.wait_for_port(), "/ArchiveContent")),
              R"({"name":"ArchiveContent", "SubDirectories":[], "files":["a.txt"]})");
    EXPECT_EQ(served.wait_for_exit(std::chrono::milliseconds(100)), -2);  // still serving
}

TEST(RunSequence, AMissingFileIsReportedAndTheSequenceGoesOn)
{
    temp_folder data;
    program_copy program;
    running_program served(program.executable, {data.path() + "missing.7z"}, no_browser());
    ASSERT_NE(served.wait_for_port(), 0);
    EXPECT_EQ(test_support::reply_status_line(test_support::http_get(served.wait_for_port(), "/ArchiveContent")),
              "HTTP/1.0 200 OK");
    EXPECT_TRUE(served.wait_for_output("/ArchiveContent\n"));
    EXPECT_TRUE(matches(served.output(), banner + listening + "\nCan not open input file\n" + stop_hint + "/ArchiveContent\n"))
        << served.output();
}

TEST(RunSequence, AFileThatNoFormatAcceptsWaitsForAKeyAndEndsWithStatusThree)
{
    temp_folder data;
    const std::string empty = data.write_file("empty.7z", "");
    program_copy program;
    for (const std::string& input : {std::string(), std::string("\n"), std::string("xyz\n")}) {
        const auto result = run_process(program.executable, {empty}, no_browser(input));
        EXPECT_TRUE(matches(result.out, banner + listening + "\nCan not get input class object\n")) << result.out;
        EXPECT_EQ(result.exit_status, 3);
    }
}

TEST(RunSequence, EncryptedHeadersAskForAPasswordThatIsNotDefined)
{
    temp_folder data;
    data.write_file("src/secret.txt", "secret");
    test_support::run_7z({"a", "-bd", "-mhe=on", "-pX", "../secret.7z", "secret.txt"}, data.path() + "src");
    program_copy program;
    const auto result = run_process(program.executable, {data.path() + "secret.7z"}, no_browser("\n"));
    EXPECT_TRUE(matches(result.out, banner + listening + "\nPassword is not defined\n\nCan not get input class object\n"))
        << result.out;
    EXPECT_EQ(result.exit_status, 3);
}
