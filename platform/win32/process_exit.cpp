// Immediate exit through TerminateProcess: no destructors, no exit handlers, no
// DLL detach notifications.
#include "platform/process_exit.h"

#include <windows.h>

namespace platform {

void exit_process_at_once(int status)
{
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
    ::ExitProcess(static_cast<UINT>(status));  // not reached
}

}  // namespace platform
