// Ending the process.
#pragma once

namespace platform {

// Ends the process at once with `status`: no destructors, no exit handlers.
[[noreturn]] void exit_process_at_once(int status);

}  // namespace platform
