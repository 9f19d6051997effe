// Waiting for the user at the console.
#pragma once

namespace platform {

// Reads one character from standard input; returns at once at its end.
void read_one_character();

}  // namespace platform
