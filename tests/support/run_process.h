// Runs a program to completion with given arguments, environment additions and
// standard input, and captures what it wrote and how it ended.
#pragma once

#include <string>
#include <vector>

namespace test_support {

struct process_result {
    std::string out;
    std::string err;
    int exit_status = -1;  // -1 when it ended by a signal
};

struct process_options {
    std::vector<std::string> environment;  // "NAME=value" entries added to ours
    std::string standard_input;            // written, then closed
    std::string working_directory;         // empty: ours
    unsigned max_open_files = 0;           // a lower descriptor limit; 0: ours
    bool terminal = false;                 // running_program only: standard streams on a pseudo-terminal
};

// In a child made by fork: applies the options (folder, environment, limit) and
// runs the program in place of the child; never returns.
[[noreturn]] void exec_in_child(const std::string& program, const std::vector<std::string>& arguments,
                                const process_options& options);

process_result run_process(const std::string& program, const std::vector<std::string>& arguments,
                           const process_options& options = {});

}  // namespace test_support
