// UTF-8 <-> wide text, with undecodable bytes carried as U+DC80..U+DCFF.
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char32_t escape_base = 0xDC00;
constexpr bool wide_is_utf16 = sizeof(wchar_t) == 2;

std::size_t encode_one(char32_t code, char* out)
{
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

bool is_high_surrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool is_low_surrogate(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A wide unit as a code, without sign extension where wchar_t is signed.
char32_t unit_at(const wchar_t* text, std::size_t i)
{
    if constexpr (wide_is_utf16)
        return static_cast<char16_t>(text[i]);
    else
        return static_cast<char32_t>(text[i]);
}

}  // namespace

std::size_t utf8_sequence(const unsigned char* text, std::size_t length, char32_t& code)
{
    const unsigned char lead = text[0];
    std::size_t count;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (count > length)
        return 0;
    for (std::size_t i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (text[i] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return count;
}

std::size_t utf8_to_wide(const char* text, std::size_t length, wchar_t* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    for (std::size_t i = 0; i < length;) {
        char32_t code;
        const std::size_t count = utf8_sequence(bytes + i, length - i, code);
        if (count == 0) {
            out[written++] = static_cast<wchar_t>(escape_base + bytes[i]);
            ++i;
            continue;
        }
        i += count;
        if (wide_is_utf16 && code >= 0x10000) {
            // Four bytes give two units: still within `length` units.
            out[written++] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            out[written++] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out[written++] = static_cast<wchar_t>(code);
        }
    }
    return written;
}

std::size_t wide_to_utf8(const wchar_t* text, std::size_t length, char* out, bool restore_bytes,
                         bool& used_default)
{
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = unit_at(text, i);
        if (is_high_surrogate(code) && i + 1 < length && is_low_surrogate(unit_at(text, i + 1))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit_at(text, i + 1) - 0xDC00);
            ++i;
        } else if (restore_bytes && code >= escape_base + 0x80 && code <= escape_base + 0xFF) {
            out[written++] = static_cast<char>(code - escape_base);
            continue;
        } else if (is_high_surrogate(code) || is_low_surrogate(code) || code > 0x10FFFF) {
            out[written++] = '_';
            used_default = true;
            continue;
        }
        written += encode_one(code, out + written);
    }
    return written;
}

std::wstring wide_from_utf8(std::string_view text)
{
    std::wstring result(text.size(), L'\0');
    result.resize(utf8_to_wide(text.data(), text.size(), result.data()));
    return result;
}

std::string utf8_from_wide(std::wstring_view text)
{
    std::string result(utf8_room(text.size()), '\0');
    bool used_default = false;
    result.resize(wide_to_utf8(text.data(), text.size(), result.data(), true, used_default));
    return result;
}

}  // namespace platform
