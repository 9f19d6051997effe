// Code-page decoding with MultiByteToWideChar, which with MB_ERR_INVALID_CHARS
// fails a whole string that holds anything the code page does not decode.
#include "platform/code_page_decoder.h"

#include "platform/utf8.h"

#include <windows.h>


namespace platform {

struct code_page_decoder::state {};

namespace {

// Code pages for which MultiByteToWideChar takes no flags (MB_ERR_INVALID_CHARS
// included): ISO 2022, HZ, UTF-7, GB18030 and the symbol one.
bool takes_no_flags(std::uint32_t code_page)
{
    return (code_page >= 50220 && code_page <= 50229) || code_page == 52936 || code_page == 54936 ||
           (code_page >= 57002 && code_page <= 57011) || code_page == 65000 || code_page == 42;
}

DWORD flags_for(std::uint32_t code_page)
{
    return takes_no_flags(code_page) ? 0 : MB_ERR_INVALID_CHARS;
}

// The UTF-16 of `bytes` when all of them decode; false otherwise.
bool decode_whole(std::uint32_t code_page, std::string_view bytes, std::wstring& wide)
{
    if (bytes.empty()) {
        wide.clear();
        return true;
    }
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(code_page, flags_for(code_page), bytes.data(), length, nullptr, 0);
    if (needed <= 0)
        return false;
    wide.assign(static_cast<std::size_t>(needed), L'\0');
    return ::MultiByteToWideChar(code_page, flags_for(code_page), bytes.data(), length, wide.data(), needed) ==
           needed;
}

}  // namespace

code_page_decoder::code_page_decoder(std::uint32_t code_page) : code_page_(code_page)
{
    CPINFO info;
    if (code_page != 0 && code_page != CP_OEMCP && code_page != CP_MACCP && code_page != CP_THREAD_ACP &&
        ::GetCPInfo(code_page, &info))
        state_ = std::make_unique<state>();
}

code_page_decoder::~code_page_decoder() = default;
code_page_decoder::code_page_decoder(code_page_decoder&&) noexcept = default;
code_page_decoder& code_page_decoder::operator=(code_page_decoder&&) noexcept = default;

std::size_t code_page_decoder::decode(std::string_view bytes, std::string& out)
{
    if (!state_)
        return 0;
    // The longest start that decodes, tried from the whole down: a start that
    // cuts a character fails while a longer one may not, so no bisection.
    // Names are short.
    std::wstring wide;
    std::size_t good = bytes.size();
    while (good > 0 && !decode_whole(code_page_, bytes.substr(0, good), wide))
        --good;
    if (good == 0)
        return 0;
    out += utf8_from_wide(wide);
    return good;
}

}  // namespace platform
