// The locale of the process's text functions, in particular the character type
// (LC_CTYPE) that the 7-Zip library decodes multibyte item names in.
#pragma once

#include <string>

namespace platform {

// Takes the character type from the environment (LC_ALL, LC_CTYPE, LANG), or a
// UTF-8 one when the environment names none, names the plain C or POSIX locale,
// or names one that this system does not have. Called once at program start,
// before any other thread runs. Gives the name of the locale in use.
std::string use_environment_text_locale();

}  // namespace platform
