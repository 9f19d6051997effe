// No charset detection, for builds without uchardet (the Windows ones): names
// that are not UTF-8 are read in VORSEL_CODE_PAGE's code page, or left as bytes.
#include "archive/code_page_guess.h"

#include <string>

namespace archive {

std::string detected_charset(std::string_view)
{
    return {};
}

}  // namespace archive
