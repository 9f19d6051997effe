// Waiting for the user at the console, and reading a secret from it.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Reads one character from standard input; returns at once at its end.
void read_one_character();

// Whether standard input is a terminal (a user who can answer a question).
bool input_is_terminal();

// Reads one line from standard input with the terminal's echo turned off (and
// restored after), without its line end; nothing at the end of input or on an
// error. The caller writes the prompt.
std::optional<std::string> read_hidden_line();

}  // namespace platform
