// Console output: the C runtime's formatted output, flushed after every piece.
#include "app/console.h"

#include <cstdio>

void print_text(const char* text)
{
    std::printf("%s", text);
    std::fflush(stdout);
}

void print_newline()
{
    print_text("\n");
}

void print_message(const char* text)
{
    print_newline();
    print_text(text);
    print_newline();
}
