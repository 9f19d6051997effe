// A linear congruential generator, with every third 4 KiB run plain letters.
#include "tests/support/known_bytes.h"

namespace test_support {

std::string known_bytes(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (i / 4096) % 3 == 0 ? static_cast<char>('a' + i % 26) : static_cast<char>(state >> 24);
    }
    return bytes;
}

}  // namespace test_support
