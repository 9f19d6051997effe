// SHA-256 through CNG's hash objects.
#include "platform/sha256.h"

#include <new>

#include <windows.h>
#include <bcrypt.h>

namespace platform {

struct sha256::state {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

bool succeeded(NTSTATUS status)
{
    return status >= 0;
}

}  // namespace

sha256::sha256() : state_(std::make_unique<state>())
{
    if (!succeeded(BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        throw std::bad_alloc();
    if (!succeeded(BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
        BCryptCloseAlgorithmProvider(state_->algorithm, 0);
        throw std::bad_alloc();
    }
}

sha256::~sha256()
{
    BCryptDestroyHash(state_->hash);
    BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void sha256::update(const void* data, std::size_t size)
{
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0);
        bytes += piece;
        size -= piece;
    }
}

sha256::digest sha256::finish()
{
    digest value{};
    BCryptFinishHash(state_->hash, value.data(), static_cast<ULONG>(value.size()), 0);
    return value;
}

}  // namespace platform
