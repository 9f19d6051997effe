// The text of a digest.
#include "platform/sha256.h"

namespace platform {

std::string hex_digest(const sha256::digest& value)
{
    constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * value.size());
    for (const unsigned char byte : value) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

}  // namespace platform
