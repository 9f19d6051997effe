// UTF-8 <-> UTF-32, with undecodable bytes carried as U+DC80..U+DCFF.
#include "platform/code_page.h"

#include "platform/posix/file_name.h"
#include "platform/posix/utf8.h"

#include <cwchar>
#include <cwctype>

namespace platform {

namespace {

constexpr char32_t escape_base = 0xDC00;

// Decodes one UTF-8 sequence at text[0..length); returns its byte count, or 0 when
// the bytes there are not a valid, shortest-form sequence of a scalar value.
std::size_t decode_one(const unsigned char* text, std::size_t length, char32_t& code)
{
    return utf8_sequence(text, length, code);
}

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

// Encodes wide text; escaped bytes are written back as themselves when
// `restore_bytes` is set, else they count as unencodable like any lone surrogate.
std::size_t encode(const wchar_t* text, std::size_t length, char* out, bool restore_bytes, bool& used_default)
{
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = static_cast<char32_t>(text[i]);
        if (is_high_surrogate(code) && i + 1 < length && is_low_surrogate(static_cast<char32_t>(text[i + 1]))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
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

}  // namespace

std::size_t multi_byte_to_wide(const char* text, std::size_t length, wchar_t* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    for (std::size_t i = 0; i < length;) {
        char32_t code;
        const std::size_t count = decode_one(bytes + i, length - i, code);
        if (count == 0) {
            out[written++] = static_cast<wchar_t>(escape_base + bytes[i]);
            ++i;
        } else {
            out[written++] = static_cast<wchar_t>(code);
            i += count;
        }
    }
    return written;
}

std::size_t wide_to_multi_byte(const wchar_t* text, std::size_t length, char* out, bool& used_default)
{
    return encode(text, length, out, false, used_default);
}

std::string file_name_from_wide(const wchar_t* name)
{
    const std::size_t length = std::wcslen(name);
    std::string result(multi_byte_room(length), '\0');
    bool used_default = false;
    result.resize(encode(name, length, result.data(), true, used_default));
    return result;
}

wchar_t wide_char_upper(wchar_t c)
{
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

}  // namespace platform
