// Standard input through the C runtime; the console's echo through SetConsoleMode.
#include "platform/console_input.h"

#include "platform/utf8.h"

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <io.h>

namespace platform {

void read_one_character()
{
    (void)std::getchar();
}

bool input_is_terminal()
{
    return ::_isatty(_fileno(stdin)) != 0;
}

std::optional<std::string> read_hidden_line(const std::function<void()>& prompt)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = ::GetConsoleMode(input, &saved) != 0;
    if (!console) {
        // A pipe or a file: read one line as it comes, nothing to hide.
        prompt();
        std::string line;
        int c;
        while ((c = std::getchar()) != EOF && c != '\n')
            line += static_cast<char>(c);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (c == EOF && line.empty())
            return std::nullopt;
        return line;
    }
    // Key by key without echo, and without the console's own handling of Ctrl+C,
    // which arrives as a character instead: the mode is back before the
    // interrupt ends the program (the console keeps it after the process).
    (void)::SetConsoleMode(input, saved & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT));
    prompt();
    std::wstring line;
    bool ended = false;
    bool interrupted = false;
    for (;;) {
        wchar_t unit = 0;
        DWORD count = 0;
        if (!::ReadConsoleW(input, &unit, 1, &count, nullptr) || count == 0) {
            ended = true;
            break;
        }
        if (unit == L'\r' || unit == L'\n')
            break;
        if (unit == 0x03) {
            interrupted = true;
            break;
        }
        if (unit == L'\b') {
            // Backspace takes back one character, both halves of a pair.
            if (!line.empty() && line.back() >= 0xDC00 && line.back() <= 0xDFFF)
                line.pop_back();
            if (!line.empty())
                line.pop_back();
            continue;
        }
        line += unit;
    }
    (void)::SetConsoleMode(input, saved);
    std::fputs("\n", stdout);  // the line end that the console did not echo
    std::fflush(stdout);
    if (interrupted) {
        (void)std::raise(SIGINT);
        return std::nullopt;
    }
    if (ended && line.empty())
        return std::nullopt;
    return utf8_from_wide(line);
}

}  // namespace platform
