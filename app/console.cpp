// Console output through the C runtime, flushed after every piece.
#include "app/console.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace app {

namespace {

// "\r", as many spaces as `drawn` had characters after its "\r", and "\r".
std::string blank_of(const std::string& drawn)
{
    std::string blank(1, '\r');
    blank.append(drawn.size() - 1, ' ');
    blank += '\r';
    return blank;
}

}  // namespace

void console::print_bytes(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    if (status_.empty()) {
        write(bytes);
        return;
    }
    // Built by appending, which GCC's -Wrestrict at -O3 does not misread.
    std::string over = blank_of(status_);
    over += bytes;
    if (!bytes.empty() && bytes.back() == '\n')
        over += status_;
    else
        status_.clear();  // a prompt waits on the line: no status after it
    write(over);
}

void console::show_status(std::string_view line)
{
    std::lock_guard lock(mutex_);
    std::string drawn(1, '\r');
    drawn += line;
    // Spaces over what the last one drew beyond this one.
    if (drawn.size() < status_.size())
        drawn.append(status_.size() - drawn.size(), ' ');
    if (line.empty()) {
        if (!status_.empty())
            write(blank_of(status_));
        status_.clear();
        return;
    }
    write(drawn);
    status_ = std::move(drawn);
}

void console::write(std::string_view bytes)
{
    if (gone_)
        return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    if (!written || std::fflush(stdout) != 0)
        gone_ = true;
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
