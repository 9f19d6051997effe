// Charset detection by uchardet.
#include "archive/code_page_guess.h"

#include <memory>
#include <string>
#include <type_traits>

#include <uchardet/uchardet.h>

namespace archive {

std::string detected_charset(std::string_view text)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                                          uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), text.data(), text.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset ? std::string(charset) : std::string();
}

}  // namespace archive
