// Standard output's kind through isatty(3).
#include "platform/console_output.h"

#include <unistd.h>

namespace platform {

bool output_is_terminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace platform
