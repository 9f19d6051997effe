// Standard output's kind: a console answers GetConsoleMode, a pipe or a file
// does not.
#include "platform/console_output.h"

#include <windows.h>

namespace platform {

bool output_is_terminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace platform
