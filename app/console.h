// Console output of the program's messages. Every piece is written as it
// stands, so a '%' in a message is printed literally, and standard output is
// flushed at once so that a reader on a pipe sees each message as it comes.
#pragma once

#include <string_view>

namespace app {

// Writes the bytes as they stand and flushes.
void print_bytes(std::string_view bytes);

// Writes the text (up to its NUL) and flushes.
void print_text(const char* text);

// Writes "\n".
void print_newline();

// Writes "\n", the text, "\n": how start-up errors stand on the console.
void print_message(const char* text);

// Writes "vorsel: <text>\n" on standard error: a failure of the server itself.
void print_error(const char* text);

}  // namespace app
