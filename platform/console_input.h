// Waiting for the user at the console, and reading a secret from it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

// Reads one character from standard input; returns at once at its end.
void read_one_character();

// Whether standard input is a terminal (a user who can answer a question).
bool input_is_terminal();

// Turns the terminal's echo off, calls `prompt` (which writes the question), and
// reads one line from standard input without its line end; the echo is restored
// after. Nothing at the end of input or on an error. The terminal's interrupt
// key (Ctrl+C) restores the echo first, then interrupts the process.
std::optional<std::string> read_hidden_line(const std::function<void()>& prompt);

}  // namespace platform
