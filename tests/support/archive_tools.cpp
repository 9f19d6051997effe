// Archive makers for the tests.
#include "tests/support/archive_tools.h"

#include "tests/support/run_process.h"

#include <gtest/gtest.h>

namespace test_support {

void run_7z(const std::vector<std::string>& arguments, const std::string& working_directory)
{
    process_options options;
    options.working_directory = working_directory;
    options.environment.push_back("TZ=UTC");
    const process_result result = run_process("/usr/bin/7z", arguments, options);
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
}

void run_python(const std::string& script, const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"-c", script};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const process_result result = run_process("/usr/bin/python3", all);
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
}

void make_nameless_gzip(const std::string& path)
{
    run_python(R"(
import gzip, sys
with open(sys.argv[1], 'wb') as f, gzip.GzipFile(filename='', mode='wb', fileobj=f, mtime=0) as g:
    g.write(b'single stream')
)",
               {path});
}

void run_in(const std::string& folder, const std::string& command)
{
    process_options options;
    options.working_directory = folder;
    const process_result result = run_process("/bin/sh", {"-c", command}, options);
    ASSERT_EQ(result.exit_status, 0) << command << "\n" << result.err;
}

}  // namespace test_support
