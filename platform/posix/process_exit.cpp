// Immediate exit through _exit(2).
#include "platform/process_exit.h"

#include <unistd.h>

namespace platform {

void exit_process_at_once(int status)
{
    ::_exit(status);
}

}  // namespace platform
