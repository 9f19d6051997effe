// Deterministic item contents for tests that check served bytes.
#pragma once

#include <cstdint>
#include <string>

namespace test_support {

// `size` bytes made from `seed`: runs of text that compress, between noise that
// does not, so that every kind of compression has work to do.
std::string known_bytes(std::size_t size, std::uint32_t seed);

}  // namespace test_support
