// Process-wide signal settings.
#pragma once

namespace platform {

// Writing to a pipe or socket whose reader has gone reports an error (EPIPE)
// instead of ending the process.
void ignore_broken_pipe();

}  // namespace platform
