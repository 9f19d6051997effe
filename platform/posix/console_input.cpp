// Standard input through the C runtime, and the terminal's echo through termios.
#include "platform/console_input.h"

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <termios.h>
#include <unistd.h>

namespace platform {

void read_one_character()
{
    (void)std::getchar();
}

bool input_is_terminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> read_hidden_line(const std::function<void()>& prompt)
{
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        // Ctrl+C arrives as a byte that ends the line, so that the echo is
        // back on before the interrupt ends the program.
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ISIG));
        quiet.c_cc[VEOL] = saved.c_cc[VINTR];
        quiet.c_lflag |= ECHONL;  // the line end still shows, so the next output starts on a line of its own
        (void)::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    prompt();  // only now: an answer typed at once is never echoed
    // Read byte by byte, so that nothing after the line is taken from the input.
    std::string line;
    bool ended = false;
    bool interrupted = false;
    for (;;) {
        char byte = 0;
        const ssize_t count = ::read(STDIN_FILENO, &byte, 1);
        if (count == -1 && errno == EINTR)
            continue;
        if (count != 1) {
            ended = true;
            break;
        }
        if (byte == '\n')
            break;
        if (terminal && saved.c_lflag & ISIG && byte == static_cast<char>(saved.c_cc[VINTR])) {
            interrupted = true;
            break;
        }
        line += byte;
    }
    if (terminal)
        (void)::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (interrupted) {
        (void)std::raise(SIGINT);
        return std::nullopt;  // the interrupt is handled or ignored: nothing was typed
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (ended && line.empty())
        return std::nullopt;
    return line;
}

}  // namespace platform
