// Console output of the program's messages. Every piece is written as it
// stands, so a '%' in a message is printed literally, and standard output is
// flushed at once so that a reader on a pipe sees each message as it comes.
// A console that went away (a closed pipe, a full disk) never stops the
// program: after the first failed write, nothing more is written to it. Pieces
// from several threads never mix.
//
// A status line (the progress of a long read, on a terminal) stays at the
// bottom: a line printed meanwhile is written over it, and the status is
// drawn again below. Guarded by its mutex.
#pragma once

#include <mutex>
#include <string>
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

    // Shows `line` in place of the status line; an empty one clears it.
    void show_status(std::string_view line);

    // Writes "\n", the text, "\n": how start-up errors stand on the console.
    void print_message(const char* text);

    // Writes "vorsel: <text>\n" on standard error: a failure of the server itself.
    void print_error(const char* text);

private:
    void write(std::string_view bytes);  // under the lock

    std::mutex mutex_;
    bool gone_ = false;
    std::string status_;  // as drawn, with its leading '\r'
};

}  // namespace app
