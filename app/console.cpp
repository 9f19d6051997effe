// Console output through the C runtime, flushed after every piece.
#include "app/console.h"

#include <cstdio>

namespace app {

void print_bytes(std::string_view bytes)
{
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void print_text(const char* text)
{
    print_bytes(text);
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

void print_error(const char* text)
{
    std::fprintf(stderr, "vorsel: %s\n", text);
}

}  // namespace app
