// Console output of the program's messages. Every piece is written as it
// stands, so a '%' in a message is printed literally, and standard output is
// flushed at once so that a reader on a pipe sees each message as it comes.
// A console that went away (a closed pipe, a full disk) never stops the
// program: after the first failed write, nothing more is written to it. Each
// piece is one write, so pieces from several threads never mix.
#pragma once

#include <atomic>
#include <string_view>

namespace app {

class console {
public:
    // Writes the bytes as they stand and flushes.
    void print_bytes(std::string_view bytes);

    // Writes the text (up to its NUL) and flushes.
    void print_text(const char* text) { print_bytes(text); }

    // Writes "\n".
    void print_newline() { print_bytes("\n"); }

    // Writes "\n", the text, "\n": how start-up errors stand on the console.
    void print_message(const char* text);

    // Writes "vorsel: <text>\n" on standard error: a failure of the server itself.
    void print_error(const char* text);

private:
    std::atomic<bool> gone_{false};
};

}  // namespace app
