// Decoding text in a Windows code page (932, 866, 1251, 65001...) into UTF-8:
// the names of archives made on systems that write names in one. On Linux the
// system's iconv decodes; on Windows MultiByteToWideChar would.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class code_page_decoder {
public:
    // A decoder of Windows code page `code_page`; see usable().
    explicit code_page_decoder(std::uint32_t code_page);
    ~code_page_decoder();
    code_page_decoder(code_page_decoder&&) noexcept;
    code_page_decoder& operator=(code_page_decoder&&) noexcept;

    // Whether this system can decode the code page.
    bool usable() const { return state_ != nullptr; }

    std::uint32_t code_page() const { return code_page_; }

    // Appends to `out` the UTF-8 of the longest start of `bytes` that is whole
    // characters of the code page, and returns how many bytes that took: all of
    // them, or fewer when a byte there begins no character of the code page or
    // begins one that `bytes` cuts short. Nothing when the decoder is not usable.
    std::size_t decode(std::string_view bytes, std::string& out);

private:
    struct state;
    std::uint32_t code_page_;
    std::unique_ptr<state> state_;
};

}  // namespace platform
