// Making the names of copies.
#include "browse/copy_names.h"

namespace browse {

std::string copy_name(std::string_view name, std::size_t copy, std::size_t copies, std::size_t attempt)
{
    // The extension starts at the last dot, unless that dot starts the name
    // (".profile" has none).
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        dot = name.size();
    std::string result(name.substr(0, dot));
    result += " (copy " + std::to_string(copy) + " of " + std::to_string(copies) + ")";
    if (attempt > 0)
        result += " (" + std::to_string(attempt + 1) + ")";
    result += name.substr(dot);
    return result;
}

}  // namespace browse
