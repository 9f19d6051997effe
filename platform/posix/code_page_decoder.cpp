// Code-page decoding through glibc's iconv, which knows the Windows code pages
// by names of its own.
#include "platform/code_page_decoder.h"

#include "platform/utf8.h"

#include <cerrno>
#include <string>

#include <iconv.h>

namespace platform {
namespace {

constexpr std::uint32_t utf8_code_page = 65001;

}  // namespace

struct code_page_decoder::state {
    iconv_t descriptor;
};

namespace {

// iconv's names for the code pages whose name is not simply CP<number>.
const char* iconv_name_of(std::uint32_t code_page)
{
    switch (code_page) {
    case 874: return "WINDOWS-874";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10029: return "MAC-CENTRALEUROPE";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: case 51932: return "EUC-JP";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 52936: return "HZ-GB-2312";
    case 54936: return "GB18030";
    case 65001: return "UTF-8";
    default: return nullptr;
    }
}

iconv_t open_descriptor(std::uint32_t code_page)
{
    const auto failed = reinterpret_cast<iconv_t>(-1);
    if (code_page == 0)
        return failed;
    if (const char* name = iconv_name_of(code_page))
        return ::iconv_open("UTF-8", name);
    // ISO 8859 parts: 28591 is ISO-8859-1, ..., 28605 ISO-8859-15.
    if (code_page >= 28591 && code_page <= 28606)
        return ::iconv_open("UTF-8", ("ISO-8859-" + std::to_string(code_page - 28590)).c_str());
    const std::string number = std::to_string(code_page);
    for (const char* prefix : {"CP", "WINDOWS-", "IBM"}) {
        const iconv_t descriptor = ::iconv_open("UTF-8", (prefix + number).c_str());
        if (descriptor != failed)
            return descriptor;
    }
    return failed;
}

}  // namespace

code_page_decoder::code_page_decoder(std::uint32_t code_page) : code_page_(code_page)
{
    const iconv_t descriptor = open_descriptor(code_page);
    if (descriptor != reinterpret_cast<iconv_t>(-1))
        state_ = std::make_unique<state>(state{descriptor});
}

code_page_decoder::~code_page_decoder()
{
    if (state_)
        ::iconv_close(state_->descriptor);
}

code_page_decoder::code_page_decoder(code_page_decoder&&) noexcept = default;

code_page_decoder& code_page_decoder::operator=(code_page_decoder&& other) noexcept
{
    if (this != &other) {
        if (state_)
            ::iconv_close(state_->descriptor);
        code_page_ = other.code_page_;
        state_ = std::move(other.state_);
    }
    return *this;
}

std::size_t code_page_decoder::decode(std::string_view bytes, std::string& out)
{
    if (!state_)
        return 0;
    if (code_page_ == utf8_code_page) {
        // iconv's UTF-8 takes sequences beyond U+10FFFF and passes them on: read here.
        const auto* text = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t used = 0;
        char32_t code;
        while (used < bytes.size()) {
            const std::size_t length = utf8_sequence(text + used, bytes.size() - used, code);
            if (length == 0)
                break;
            used += length;
        }
        out.append(bytes.data(), used);
        return used;
    }
    ::iconv(state_->descriptor, nullptr, nullptr, nullptr, nullptr);  // the initial shift state
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char chunk[256];
    for (;;) {
        char* to = chunk;
        std::size_t to_left = sizeof chunk;
        const std::size_t result = ::iconv(state_->descriptor, &in, &in_left, &to, &to_left);
        const int error = errno;
        out.append(chunk, static_cast<std::size_t>(to - chunk));
        if (result != static_cast<std::size_t>(-1)) {
            // The end of the input: a stateful code page may have a shift back to write.
            to = chunk;
            to_left = sizeof chunk;
            ::iconv(state_->descriptor, nullptr, nullptr, &to, &to_left);
            out.append(chunk, static_cast<std::size_t>(to - chunk));
            break;
        }
        if (error != E2BIG)
            break;  // EILSEQ or EINVAL: `in` is at the byte that begins no whole character
    }
    return bytes.size() - in_left;
}

}  // namespace platform
