// One character from standard input through the C runtime.
#include "platform/console_input.h"

#include <cstdio>

namespace platform {

void read_one_character()
{
    (void)std::getchar();
}

}  // namespace platform
