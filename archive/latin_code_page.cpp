// Reading names in each Latin code page and keeping the one they read best in.
#include "archive/latin_code_page.h"

#include <algorithm>

#include "archive/item_names.h"
#include "platform/code_page_decoder.h"
#include "platform/utf8.h"

namespace archive {
namespace {

constexpr std::uint32_t latin_code_pages[] = {1250,  1252,  1254,  1257,  852,   850,   437,   10029,
                                              28591, 28592, 28593, 28594, 28599, 28603, 28605};

// In the order they are expected: from Unix, then from DOS and Windows.
constexpr std::uint32_t unix_code_pages[] = {1252, 28592};
constexpr std::uint32_t dos_code_pages[] = {850, 437, 852};

struct named_code_page {
    std::uint32_t code_page;
    std::string_view charset;
};

constexpr named_code_page expected_charsets[] = {
    {1252, "WINDOWS-1252"}, {28592, "ISO-8859-2"}, {850, "IBM850"}, {437, "IBM437"}, {852, "IBM852"}};

enum class script : std::uint8_t { none, latin, greek, cyrillic, other };

// What a character is to a name: a letter (of a script, capital or small, or
// neither), a sign, or a control that no name holds.
struct character {
    enum class kind : std::uint8_t {
        control,
        letter,
        plain,        // ASCII that is no letter: digits, space, punctuation
        punctuation,  // quotes, dashes, "°", "®"...: beside a letter, not between two
        sign,         // "£", "½", "€", a no-break space...: not beside a letter
        glyph,        // box drawing, blocks, mathematics: not beside a letter
    } what = kind::plain;
    script written_in = script::none;
    bool capital = false;
    bool small = false;
};

character letter(script written_in, bool capital, bool small)
{
    return {character::kind::letter, written_in, capital, small};
}

// Capitals and small letters alternate in Latin Extended-A, starting with a
// capital except in U+0139..U+0148 and U+0179..U+017E.
character latin_extended_a(char32_t code)
{
    if (code == 0x138 || code == 0x149 || code == 0x17F)
        return letter(script::latin, false, true);
    if (code == 0x178)
        return letter(script::latin, true, false);
    const bool odd_capital = (code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E);
    const bool capital = ((code & 1) == 1) == odd_capital;
    return letter(script::latin, capital, !capital);
}

character classify(char32_t code)
{
    using kind = character::kind;
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0))
        return {kind::control};
    if (code >= name_escape_base + 0x80 && code <= name_escape_base + 0xFF)
        return {kind::control};  // a byte that nothing decoded
    if (code < 0x80) {
        if (code >= 'A' && code <= 'Z')
            return letter(script::latin, true, false);
        if (code >= 'a' && code <= 'z')
            return letter(script::latin, false, true);
        return {kind::plain};
    }
    if (code == 0xB5)
        return letter(script::latin, false, true);  // micro, a small Greek mu in Latin text
    if (code >= 0xC0 && code <= 0xFF && code != 0xD7 && code != 0xF7)
        return letter(script::latin, code < 0xDF, code >= 0xDF);
    if (code >= 0x100 && code <= 0x17F)
        return latin_extended_a(code);
    if (code >= 0x180 && code <= 0x24F && code != 0x192)
        return letter(script::latin, false, false);
    if (code >= 0x386 && code <= 0x3FF)
        return letter(script::greek, code >= 0x391 && code <= 0x3AB, code >= 0x3AC && code <= 0x3CE);
    if (code >= 0x400 && code <= 0x4FF)
        return letter(script::cyrillic, code <= 0x42F, code >= 0x430 && code <= 0x45F);
    if ((code >= 0x5D0 && code <= 0x5EA) || (code >= 0x620 && code <= 0x64A) || (code >= 0xE01 && code <= 0xE2E))
        return letter(script::other, false, false);
    if ((code >= 0x2018 && code <= 0x201F) || code == 0xAB || code == 0xBB || code == 0x2039 || code == 0x203A ||
        code == 0xA1 || code == 0xBF || code == 0x2013 || code == 0x2014 || code == 0x2026 || code == 0xB7 ||
        code == 0xB0 || code == 0xAE || code == 0xA9 || code == 0x2122 || code == 0xAA || code == 0xBA)
        return {kind::punctuation};
    if ((code >= 0x2190 && code <= 0x23FF) || (code >= 0x2500 && code <= 0x25FF) || code == 0x207F ||
        code == 0xAC || code == 0xA6)
        return {kind::glyph};
    return {kind::sign};
}

// Characters that sit inside a word as well: the apostrophe and the middle dot.
bool joins_words(char32_t code)
{
    return code == 0x2019 || code == 0xB7;
}

std::size_t count_high_bytes(const std::vector<std::string>& names)
{
    std::size_t count = 0;
    for (const std::string& name : names)
        for (const char c : name)
            count += static_cast<unsigned char>(c) >= 0x80;
    return count;
}

}  // namespace

std::string_view latin_charset(std::uint32_t code_page)
{
    for (const named_code_page& entry : expected_charsets)
        if (entry.code_page == code_page)
            return entry.charset;
    return {};
}

bool is_latin_code_page(std::uint32_t code_page)
{
    return std::find(std::begin(latin_code_pages), std::end(latin_code_pages), code_page) != std::end(latin_code_pages);
}

std::optional<name_reading> read_name(std::string_view name)
{
    std::vector<std::pair<char32_t, character>> characters;
    for (std::size_t i = 0; i < name.size();) {
        char32_t code = 0;
        const std::size_t length =
            platform::utf8_sequence(reinterpret_cast<const unsigned char*>(name.data()) + i, name.size() - i, code);
        if (length == 0)
            return std::nullopt;
        characters.emplace_back(code, classify(code));
        i += length;
    }
    name_reading reading;
    const character none;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const auto& [code, here] = characters[i];
        const character& before = i > 0 ? characters[i - 1].second : none;
        const character& after = i + 1 < characters.size() ? characters[i + 1].second : none;
        const bool letter_before = before.what == character::kind::letter;
        const bool letter_after = after.what == character::kind::letter;
        switch (here.what) {
        case character::kind::control:
            return std::nullopt;
        case character::kind::plain:
            break;
        case character::kind::punctuation:
            reading.odd += letter_before && letter_after && !joins_words(code);
            break;
        case character::kind::sign:
        case character::kind::glyph:
            reading.odd += letter_before || letter_after;
            break;
        case character::kind::letter:
            if (code < 0x80)
                break;  // what is odd about it is counted at its neighbours beyond ASCII
            if ((letter_before && before.written_in != here.written_in) ||
                (letter_after && after.written_in != here.written_in)) {
                ++reading.odd;
                break;
            }
            if (letter_before && before.small && here.capital)
                ++reading.odd;
            else if ((letter_before && characters[i - 1].first < 0x80) ||
                     (letter_after && characters[i + 1].first < 0x80))
                ++reading.in_words;
            break;
        }
    }
    return reading;
}

std::optional<std::uint32_t> latin_code_page(const std::vector<std::string>& names, names_origin origin,
                                             std::optional<std::uint32_t> detected)
{
    std::vector<std::uint32_t> order;
    auto add = [&order](std::uint32_t code_page) {
        if (std::find(order.begin(), order.end(), code_page) == order.end())
            order.push_back(code_page);
    };
    if (origin == names_origin::dos)
        for (const std::uint32_t code_page : dos_code_pages)
            add(code_page);
    if (origin == names_origin::unix_like)
        for (const std::uint32_t code_page : unix_code_pages)
            add(code_page);
    if (detected && is_latin_code_page(*detected))
        add(*detected);
    for (const std::uint32_t code_page : unix_code_pages)
        add(code_page);
    for (const std::uint32_t code_page : dos_code_pages)
        add(code_page);

    std::optional<std::uint32_t> best;
    name_reading best_reading;
    for (const std::uint32_t code_page : order) {
        platform::code_page_decoder decoder(code_page);
        if (!decoder.usable())
            continue;
        name_reading all;
        bool readable = true;
        for (const std::string& name : names) {
            const std::optional<name_reading> reading = read_name(decoded_name(name, &decoder));
            if (!reading) {
                readable = false;
                break;
            }
            all.odd += reading->odd;
            all.in_words += reading->in_words;
        }
        if (readable && (!best || all.odd < best_reading.odd)) {
            best = code_page;
            best_reading = all;
        }
    }
    const std::size_t high = count_high_bytes(names);
    constexpr std::size_t fewest_bytes = 6;
    if (!best || best_reading.in_words == 0 || high == 0)
        return std::nullopt;
    if (high < fewest_bytes ? best_reading.odd != 0 : best_reading.odd * 10 > high)
        return std::nullopt;
    return best;
}

}  // namespace archive
