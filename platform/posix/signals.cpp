// Signal dispositions.
#include "platform/signals.h"

#include <csignal>

namespace platform {

void ignore_broken_pipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
