// Process start on Linux: SIGPIPE ignored, LC_CTYPE from the environment.
#include "platform/process_start.h"

#include <clocale>
#include <csignal>
#include <cstring>

namespace platform {
namespace {

// The character type from the environment, with a UTF-8 one in place of the
// plain C or POSIX locale or of one that this system does not have.
void use_environment_text_locale()
{
    const char* chosen = std::setlocale(LC_CTYPE, "");
    if (!chosen || std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0) {
        for (const char* utf8 : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (std::setlocale(LC_CTYPE, utf8))
                break;
    }
}

}  // namespace

std::vector<std::string> start_process(int argc, char** argv)
{
    use_environment_text_locale();
    std::signal(SIGPIPE, SIG_IGN);
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace platform
