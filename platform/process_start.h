// What the process sets up before anything else runs, and its arguments.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Called first thing in main, before any other thread runs. On Linux: writing
// to a pipe or socket whose reader has gone reports an error (EPIPE) instead of
// ending the process, and the character type of the text functions (in which
// the 7-Zip library decodes multibyte item names) comes from the environment,
// a UTF-8 one standing in for the plain C locale. On Windows: console output is
// UTF-8, and Ctrl+C, Ctrl+Break and closing the console window raise SIGINT.
// Gives the program's arguments after its name, in UTF-8: argv on Linux, the
// wide command line on Windows (where '\' in them becomes '/', the separator
// that the rest of the program splits paths at).
std::vector<std::string> start_process(int argc, char** argv);

}  // namespace platform
