// Console output of the program's messages. Every piece is written with the
// format "%s", so a '%' in a message is printed literally, and standard output
// is flushed at once so that a reader on a pipe sees each message as it comes.
#pragma once

// Writes the text as it stands and flushes.
void print_text(const char* text);

// Writes "\n".
void print_newline();

// Writes "\n", the text, "\n": how start-up errors stand on the console.
void print_message(const char* text);
