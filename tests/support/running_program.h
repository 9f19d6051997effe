// A program started in the background for a test: its standard output is read
// line by line as it comes, its standard input can be written and closed, and
// it is killed when the test lets go of it. With `terminal` set in its options,
// its standard input, output and error are one pseudo-terminal (without the
// translation of "\n" to "\r\n"), whose echo shows what was typed.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace test_support {

class running_program {
public:
    running_program(const std::string& program, const std::vector<std::string>& arguments,
                    const process_options& options = {});
    ~running_program();
    running_program(const running_program&) = delete;
    running_program& operator=(const running_program&) = delete;

    // Reads standard output until it holds `text`; false on timeout or end.
    bool wait_for_output(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Everything read from standard output so far.
    const std::string& output() const { return out_; }

    // Sends the signal to the program.
    void signal(int number);

    void write_input(const std::string& text);
    void close_input();

    // Waits for the program to end and gives its exit status (-1: a signal).
    int wait_for_exit(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // The port of the line "server listening @ http://127.0.0.1:PORT/", or 0.
    unsigned short wait_for_port();

    // Whether the program's terminal echoes what is typed (with `terminal`).
    bool terminal_echoes() const;

    // The program's process id, for reading what /proc says of it.
    int pid() const { return pid_; }

private:
    bool read_some(std::chrono::milliseconds timeout);

    int pid_ = -1;
    int in_fd_ = -1;
    int out_fd_ = -1;
    std::string out_;
    bool exited_ = false;
    int status_ = -1;
};

// Starts the server `executable` on `archive` in `working_directory`, with no
// browser, no lasting index (VORSEL_INDEX_CACHE=0, which `environment` may
// override) and the given environment additions, and waits for its port (0
// when it never said one, which fails the current test).
std::unique_ptr<running_program> start_server(const std::string& executable, const std::string& working_directory,
                                              const std::string& archive, unsigned short& port,
                                              std::vector<std::string> environment = {});

}  // namespace test_support
