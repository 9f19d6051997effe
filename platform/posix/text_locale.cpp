// setlocale for LC_CTYPE, with C.UTF-8 in place of the plain C locale.
#include "platform/text_locale.h"

#include <clocale>
#include <cstring>

namespace platform {

std::string use_environment_text_locale()
{
    const char* chosen = std::setlocale(LC_CTYPE, "");
    if (!chosen || std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0) {
        for (const char* utf8 : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if ((chosen = std::setlocale(LC_CTYPE, utf8)))
                break;
    }
    if (!chosen)
        chosen = std::setlocale(LC_CTYPE, nullptr);
    return chosen ? std::string(chosen) : std::string();
}

}  // namespace platform
