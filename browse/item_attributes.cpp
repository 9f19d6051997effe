// Writing attributes and Unix modes as text.
#include "browse/item_attributes.h"

namespace browse {
namespace {

// Windows attributes with this bit carry the Unix mode in their high 16 bits.
constexpr std::uint32_t unix_extension = 0x8000;

char type_letter(std::uint32_t mode)
{
    switch (mode & 0170000) {
    case 0040000: return 'd';
    case 0120000: return 'l';
    case 0020000: return 'c';
    case 0060000: return 'b';
    case 0010000: return 'p';
    case 0140000: return 's';
    default: return '-';
    }
}

}  // namespace

std::string unix_mode_text(std::uint32_t mode)
{
    std::string text(10, '-');
    text[0] = type_letter(mode);
    constexpr char letters[] = "rwx";
    for (int bit = 0; bit < 9; ++bit)
        if (mode & (0400u >> bit))
            text[static_cast<std::size_t>(1 + bit)] = letters[bit % 3];
    // Set-user-id, set-group-id and sticky show in the execute places.
    const auto special = [&text](std::size_t place, bool set) {
        if (set)
            text[place] = text[place] == 'x' ? (place == 9 ? 't' : 's') : (place == 9 ? 'T' : 'S');
    };
    special(3, mode & 04000);
    special(6, mode & 02000);
    special(9, mode & 01000);
    return text;
}

std::string attributes_text(const archive::item_details& item)
{
    std::string text;
    if (item.has_attributes) {
        constexpr struct {
            std::uint32_t bit;
            char letter;
        } windows[] = {{0x1, 'R'}, {0x2, 'H'}, {0x4, 'S'}, {0x10, 'D'}, {0x20, 'A'}};
        for (const auto& [bit, letter] : windows)
            if (item.attributes & bit)
                text += letter;
    }
    std::uint32_t mode = 0;
    bool has_mode = false;
    if (item.has_unix_mode) {
        mode = item.unix_mode;
        has_mode = true;
    } else if (item.has_attributes && (item.attributes & unix_extension) && (item.attributes >> 16) != 0) {
        mode = item.attributes >> 16;
        has_mode = true;
    }
    if (has_mode) {
        if (!text.empty())
            text += ' ';
        text += unix_mode_text(mode);
    }
    return text;
}

}  // namespace browse
