// Process runner for tests: fork, exec, and pipes drained with poll.
#include "tests/support/run_process.h"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

void exec_in_child(const std::string& program, const std::vector<std::string>& arguments,
                   const process_options& options)
{
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
        _exit(126);
    for (const std::string& entry : options.environment)
        putenv(const_cast<char*>(entry.c_str()));
    if (options.max_open_files != 0) {
        rlimit limit{options.max_open_files, options.max_open_files};
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

process_result run_process(const std::string& program, const std::vector<std::string>& arguments,
                           const process_options& options)
{
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe))
        std::abort();
    signal(SIGPIPE, SIG_IGN);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
            close(fd);
        exec_in_child(program, arguments, options);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);

    process_result result;
    std::size_t written = 0;
    int in_fd = in_pipe[1];
    if (options.standard_input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        pollfd fds[3] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}, {in_fd, POLLOUT, 0}};
        if (!out_open)
            fds[0].fd = -1;
        if (!err_open)
            fds[1].fd = -1;
        if (poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                (i == 0 ? out_open : err_open) = false;
            }
        }
        if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_fd, options.standard_input.data() + written,
                              options.standard_input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if (n <= 0 || written == options.standard_input.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }
    if (in_fd >= 0)
        close(in_fd);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace test_support
