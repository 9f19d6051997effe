// Console output through the C runtime, flushed after every piece.
#include "app/console.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace app {

void console::print_bytes(std::string_view bytes)
{
    if (gone_.load(std::memory_order_relaxed))
        return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    if (!written || std::fflush(stdout) != 0)
        gone_.store(true, std::memory_order_relaxed);
}

void console::print_message(const char* text)
{
    // Built by appending: the chain of operator+ trips GCC's -Wrestrict at -O3.
    std::string message;
    message.reserve(std::strlen(text) + 2);
    message += '\n';
    message += text;
    message += '\n';
    print_bytes(message);
}

void console::print_error(const char* text)
{
    std::fprintf(stderr, "vorsel: %s\n", text);
}

}  // namespace app
