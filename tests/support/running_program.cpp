// Background programs for tests: fork, exec, poll on the output pipe.
#include "tests/support/running_program.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

namespace test_support {

running_program::running_program(const std::string& program, const std::vector<std::string>& arguments,
                                 const process_options& options)
{
    ::signal(SIGPIPE, SIG_IGN);
    if (options.terminal) {
        int terminal = -1;
        pid_ = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid_ < 0)
            throw std::runtime_error("cannot start a program: forkpty failed");
        if (pid_ == 0) {
            termios modes{};
            tcgetattr(0, &modes);
            modes.c_oflag &= static_cast<tcflag_t>(~ONLCR);
            tcsetattr(0, TCSANOW, &modes);
            exec_in_child(program, arguments, options);
        }
        in_fd_ = dup(terminal);
        out_fd_ = terminal;
        return;
    }
    int in_pipe[2], out_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC))
        std::abort();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start a program: fork failed");
    if (pid_ == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        exec_in_child(program, arguments, options);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    in_fd_ = in_pipe[1];
    out_fd_ = out_pipe[0];
}

void running_program::signal(int number)
{
    if (!exited_)
        kill(pid_, number);
}

running_program::~running_program()
{
    if (!exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close_input();
    if (out_fd_ >= 0)
        close(out_fd_);
}

bool running_program::read_some(std::chrono::milliseconds timeout)
{
    if (out_fd_ < 0)
        return false;
    pollfd fd{out_fd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char buffer[4096];
    ssize_t n = read(out_fd_, buffer, sizeof buffer);
    if (n <= 0) {
        close(out_fd_);
        out_fd_ = -1;
        return false;
    }
    out_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool running_program::wait_for_output(const std::string& text, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !read_some(left))
            return out_.find(text) != std::string::npos;
    }
    return true;
}

void running_program::write_input(const std::string& text)
{
    if (in_fd_ >= 0 && write(in_fd_, text.data(), text.size()) < 0)
        close_input();
}

void running_program::close_input()
{
    if (in_fd_ >= 0)
        close(in_fd_);
    in_fd_ = -1;
}

int running_program::wait_for_exit(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exited_) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exited_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return -2;
        read_some(std::chrono::milliseconds(20));
    }
    while (read_some(std::chrono::milliseconds(50))) {
    }
    return status_;
}

unsigned short running_program::wait_for_port()
{
    const std::string marker = "server listening @ http://127.0.0.1:";
    if (!wait_for_output(marker) || !wait_for_output("/\n"))
        return 0;
    std::size_t at = out_.find(marker) + marker.size();
    return static_cast<unsigned short>(std::strtoul(out_.c_str() + at, nullptr, 10));
}

std::unique_ptr<running_program> start_server(const std::string& executable, const std::string& working_directory,
                                              const std::string& archive, unsigned short& port,
                                              std::vector<std::string> environment)
{
    process_options options;
    options.working_directory = working_directory;
    // No lasting index is written to the user's cache unless a test asks for one.
    environment.insert(environment.begin(), "VORSEL_INDEX_CACHE=0");
    environment.push_back("BROWSER=/bin/true");
    options.environment = std::move(environment);
    auto program = std::make_unique<running_program>(executable, std::vector<std::string>{archive}, options);
    port = program->wait_for_port();
    EXPECT_NE(port, 0);
    return program;
}

bool running_program::terminal_echoes() const
{
    termios settings{};
    return ::tcgetattr(in_fd_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

}  // namespace test_support
