// Making test archives at test time with the 7z tool and Python's zipfile,
// tarfile and gzip modules.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// Runs `7z ARGUMENTS` in `working_directory`; fails the current test when 7z fails.
void run_7z(const std::vector<std::string>& arguments, const std::string& working_directory);

// Runs `python3 -c SCRIPT ARGUMENTS`; fails the current test when it fails.
void run_python(const std::string& script, const std::vector<std::string>& arguments);

// Runs `sh -c COMMAND` in `folder`; fails the current test when it fails.
void run_in(const std::string& folder, const std::string& command);

// Writes a gzip stream of "single stream" with no file name in it to `path`.
void make_nameless_gzip(const std::string& path);

}  // namespace test_support
