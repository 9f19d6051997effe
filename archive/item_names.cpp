// The library's escapes, decoding names with a code page, and detecting it.
#include "archive/item_names.h"

#include "archive/code_page_guess.h"
#include "archive/latin_code_page.h"
#include "platform/utf8.h"

namespace archive {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";  // U+FFFD

bool is_continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence of a scalar value at the start of `text`
// (shortest form, no surrogate, at most U+10FFFF), or 0; its value in `code`.
std::size_t utf8_sequence(std::string_view text, char32_t& code)
{
    return platform::utf8_sequence(reinterpret_cast<const unsigned char*>(text.data()), text.size(), code);
}

// The byte of an escape at text[at], when one stands there (EE BE 80..EE BF BF).
bool escape_at(std::string_view text, std::size_t at, unsigned char& byte)
{
    if (at + 3 > text.size() || static_cast<unsigned char>(text[at]) != 0xEE)
        return false;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const auto third = static_cast<unsigned char>(text[at + 2]);
    if ((second != 0xBE && second != 0xBF) || !is_continuation(third))
        return false;
    byte = static_cast<unsigned char>(0x80 + ((second & 1) << 6) + (third & 0x3F));
    return true;
}

void append_escape(std::string& out, unsigned char byte)
{
    const char32_t code = name_escape_base + byte;
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
}

// The longest start of `bytes` that is whole UTF-8 sequences, appended to `out`;
// the bytes it took.
std::size_t decode_utf8(std::string_view bytes, std::string& out)
{
    std::size_t i = 0;
    char32_t code;
    while (i < bytes.size()) {
        const std::size_t length = utf8_sequence(bytes.substr(i), code);
        if (length == 0)
            break;
        i += length;
    }
    out.append(bytes.data(), i);
    return i;
}

std::size_t decode_run(std::string_view bytes, platform::code_page_decoder* decoder, std::string& out)
{
    return decoder ? decoder->decode(bytes, out) : decode_utf8(bytes, out);
}

// Where in decoded UTF-8 text the first character in the escapes' range stands.
std::size_t first_escape_code(std::string_view text)
{
    unsigned char byte;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (escape_at(text, i, byte))
            return i;
    return std::string_view::npos;
}

std::size_t count_escapes(std::string_view text)
{
    std::size_t count = 0;
    unsigned char byte;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (escape_at(text, i, byte)) {
            ++count;
            i += 2;
        }
    return count;
}

std::size_t count_high_bytes(std::string_view bytes)
{
    std::size_t count = 0;
    for (const char c : bytes)
        count += static_cast<unsigned char>(c) >= 0x80;
    return count;
}

// A byte that nothing decoded: its escape, or an ASCII byte as itself (it has none).
void append_byte(std::string& out, unsigned char byte)
{
    if (byte < 0x80)
        out += static_cast<char>(byte);
    else
        append_escape(out, byte);
}

}  // namespace

bool is_utf8(std::string_view text)
{
    char32_t code;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence(text.substr(i), code);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool holds_escapes(std::string_view name)
{
    unsigned char byte;
    for (std::size_t at = name.find('\xEE'); at != std::string_view::npos; at = name.find('\xEE', at + 1))
        if (escape_at(name, at, byte))
            return true;
    return false;
}

std::string unescaped_bytes(std::string_view name)
{
    std::string bytes;
    bytes.reserve(name.size());
    unsigned char byte;
    for (std::size_t i = 0; i < name.size();) {
        if (escape_at(name, i, byte)) {
            bytes += static_cast<char>(byte);
            i += 3;
        } else {
            bytes += name[i++];
        }
    }
    return bytes;
}

std::string decoded_name(std::string_view bytes, platform::code_page_decoder* decoder)
{
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::string piece;
        const std::string_view rest = bytes.substr(i);
        const std::size_t used = decode_run(rest, decoder, piece);
        const std::size_t at = first_escape_code(piece);
        if (at == std::string::npos) {
            out += piece;
            i += used;
            if (i < bytes.size())
                append_byte(out, static_cast<unsigned char>(bytes[i++]));
            continue;
        }
        // A character in the escapes' range: the bytes it came from end at the
        // shortest start of `rest` whose decoding reaches past `at` (the length
        // decoded only grows with the bytes given), and begin where the one a
        // byte shorter ends.
        std::size_t low = 1, high = used;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            std::string shorter;
            decode_run(rest.substr(0, middle), decoder, shorter);
            if (shorter.size() > at)
                high = middle;
            else
                low = middle + 1;
        }
        std::string before;
        const std::size_t start = decode_run(rest.substr(0, low - 1), decoder, before);
        std::string through;
        const std::size_t end = decode_run(rest.substr(0, low), decoder, through);
        if (end <= start) {  // no bytes to tell: one goes as itself, and on
            append_byte(out, static_cast<unsigned char>(rest[0]));
            ++i;
            continue;
        }
        out += before;
        for (std::size_t k = start; k < end; ++k)
            append_byte(out, static_cast<unsigned char>(rest[k]));
        i += end;
    }
    return out;
}

std::string shown_name(std::string_view name)
{
    std::string shown;
    shown.reserve(name.size());
    unsigned char byte;
    char32_t code;
    for (std::size_t i = 0; i < name.size();) {
        if (escape_at(name, i, byte)) {
            shown += replacement;
            i += 3;
            continue;
        }
        const std::size_t length = utf8_sequence(name.substr(i), code);
        if (length == 0) {
            shown += replacement;
            ++i;
            continue;
        }
        shown.append(name.data() + i, length);
        i += length;
    }
    return shown;
}

std::optional<std::uint32_t> detect_names_code_page(const std::vector<std::string>& names, names_origin origin,
                                                    std::string& charset)
{
    std::string text;
    std::size_t high = 0;
    for (const std::string& name : names) {
        text += name;
        text += '\n';
        high += count_high_bytes(name);
    }
    charset = detected_charset(text);
    constexpr std::size_t fewest_bytes = 6;
    std::optional<std::uint32_t> detected = code_page_of_charset(charset);
    if (detected == 65001u)
        detected.reset();  // the names are not UTF-8
    if (detected && !is_latin_code_page(*detected) && high >= fewest_bytes) {
        platform::code_page_decoder decoder(*detected);
        std::size_t undecoded = 0;
        if (decoder.usable())
            for (const std::string& name : names)
                undecoded += count_escapes(decoded_name(name, &decoder));
        if (decoder.usable() && undecoded * 10 <= high)
            return detected;
    }
    if (high < fewest_bytes && origin == names_origin::unknown)
        return std::nullopt;
    const std::optional<std::uint32_t> latin = latin_code_page(names, origin, detected);
    if (latin && latin != detected) {
        charset = latin_charset(*latin);
        if (origin != names_origin::unknown)
            charset += origin == names_origin::dos ? ", names from DOS or Windows" : ", names from Unix";
    }
    return latin;
}

void names_decoder::add(std::string_view name, std::uint32_t index, names_origin origin)
{
    const bool escaped = holds_escapes(name);
    if (!holding_ && !escaped) {
        visit_(name, index);
        return;
    }
    holding_ = true;
    if (escaped) {
        escaped_.push_back(held_.size());
        from_dos_ += origin == names_origin::dos;
        from_unix_ += origin == names_origin::unix_like;
    }
    held_.emplace_back(index, std::string(name));
}

names_outcome names_decoder::finish()
{
    names_outcome outcome;
    outcome.escaped = static_cast<std::uint32_t>(escaped_.size());
    // A name whose bytes are UTF-8 holds characters of the escapes' own range,
    // which the library escaped: it stays as it came.
    std::vector<std::size_t> positions;
    std::vector<std::string> bytes;
    for (const std::size_t position : escaped_) {
        std::string name_bytes = unescaped_bytes(held_[position].second);
        if (is_utf8(name_bytes))
            continue;
        positions.push_back(position);
        bytes.push_back(std::move(name_bytes));
    }
    std::optional<std::uint32_t> code_page;
    if (code_page_ != 0 && platform::code_page_decoder(code_page_).usable()) {
        code_page = code_page_;
    } else if (!bytes.empty()) {
        const names_origin origin = from_dos_ > from_unix_   ? names_origin::dos
                                    : from_unix_ > from_dos_ ? names_origin::unix_like
                                                             : names_origin::unknown;
        code_page = detect_names_code_page(bytes, origin, outcome.detected_charset);
        outcome.detected = code_page.has_value();
    }
    if (code_page && !bytes.empty()) {
        outcome.code_page = code_page;
        platform::code_page_decoder decoder(*code_page);
        for (std::size_t i = 0; i < positions.size(); ++i)
            held_[positions[i]].second = decoded_name(bytes[i], &decoder);
    }
    for (const std::size_t position : escaped_)
        outcome.left_undecoded += holds_escapes(held_[position].second);
    for (const auto& [index, name] : held_)
        visit_(name, index);
    held_.clear();
    escaped_.clear();
    from_dos_ = from_unix_ = 0;
    holding_ = false;
    return outcome;
}

}  // namespace archive
