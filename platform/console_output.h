// What standard output is: a line that redraws itself in place only makes
// sense on a terminal.
#pragma once

namespace platform {

// Whether standard output is a terminal.
bool output_is_terminal();

}  // namespace platform
