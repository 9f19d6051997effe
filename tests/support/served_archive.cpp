// Starting the program behind an output filter.
#include "tests/support/served_archive.h"

#include <utility>

namespace test_support {
namespace {

process_options without_browser(process_options options)
{
    options.environment.push_back("BROWSER=/bin/true");
    return options;
}

}  // namespace

// The shell replaces itself with the program, so that the process id is the
// program's own; sed in unbuffered mode prints through the listening line and
// reads everything after it.
served_archive::served_archive(const std::string& executable, const std::string& archive, process_options options)
    : program_("/bin/bash",
               {"-c", "exec \"$0\" \"$1\" > >(sed -u -n '1,/server listening @/p')", executable, archive},
               without_browser(std::move(options)))
{
    program_.close_input();
    port_ = program_.wait_for_port();
}

}  // namespace test_support
