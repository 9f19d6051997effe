// Safe names for the entries of the zips the server writes.
#include "browse/zip_entry_name.h"

#include <array>

#include "http/header_values.h"

namespace browse {
namespace {

bool is_forbidden(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || std::string_view("<>:\"|?*\\").find(c) != std::string_view::npos;
}

// Whether `stem` (a name up to its first dot, trailing spaces gone) names a
// device on Windows: CON, PRN, AUX, NUL, COM0-9 and LPT0-9, also with the
// superscript digits ¹²³.
bool names_device(std::string_view stem)
{
    for (const char* device : {"con", "prn", "aux", "nul"})
        if (http::equals_ignoring_case(stem, device))
            return true;
    if (stem.size() < 4)
        return false;
    const std::string_view prefix = stem.substr(0, 3);
    if (!http::equals_ignoring_case(prefix, "com") && !http::equals_ignoring_case(prefix, "lpt"))
        return false;
    const std::string_view number = stem.substr(3);
    static constexpr std::array<std::string_view, 3> superscripts = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
    if (number.size() == 1)
        return number[0] >= '0' && number[0] <= '9';
    for (const std::string_view superscript : superscripts)
        if (number == superscript)
            return true;
    return false;
}

std::string safe_name(std::string_view name)
{
    std::string safe;
    safe.reserve(name.size() + 1);
    for (const char c : name)
        safe += is_forbidden(c) ? '_' : c;
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
        safe.pop_back();
    if (safe.empty())
        return "_";
    std::string_view stem = std::string_view(safe).substr(0, safe.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    if (names_device(stem))
        safe.insert(safe.begin(), '_');
    return safe;
}

}  // namespace

std::string zip_entry_name(std::string_view path)
{
    std::string entry;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        entry += safe_name(path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos)
            return entry;
        entry += '/';
        start = slash + 1;
    }
}

}  // namespace browse
