// SHA-256 digests of bytes that arrive in pieces, from the system's own
// cryptography: OpenSSL's libcrypto on Linux, CNG (BCrypt) on Windows.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class sha256 {
public:
    using digest = std::array<unsigned char, 32>;

    // Raises std::bad_alloc when the system cannot provide a digest.
    sha256();
    ~sha256();
    sha256(const sha256&) = delete;
    sha256& operator=(const sha256&) = delete;

    void update(const void* data, std::size_t size);

    // The digest of everything given; once.
    digest finish();

private:
    struct state;
    std::unique_ptr<state> state_;
};

// The digest as 64 lowercase hexadecimal digits.
std::string hex_digest(const sha256::digest& value);

}  // namespace platform
