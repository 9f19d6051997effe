// Process start on Windows: UTF-8 console output, the console's stop events
// turned into SIGINT, and the arguments from the wide command line.
#include "platform/process_start.h"

#include "platform/win32/wide_path.h"

#include <windows.h>

#include <shellapi.h>

#include <csignal>

namespace platform {
namespace {

// Runs on a thread of the system's own. Ctrl+C, Ctrl+Break and the console
// window's closing all raise SIGINT, whose handler stops the server in order.
// After a close the system ends the process when this returns, so the handler
// waits for main to finish first (main's end ends this thread too).
BOOL WINAPI on_console_event(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        std::raise(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        std::raise(SIGINT);
        ::Sleep(4000);
        return TRUE;
    default:
        return FALSE;
    }
}

std::vector<std::string> wide_command_line_arguments()
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(utf8_path(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace

std::vector<std::string> start_process(int, char**)
{
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCtrlHandler(on_console_event, TRUE);
    return wide_command_line_arguments();
}

}  // namespace platform
