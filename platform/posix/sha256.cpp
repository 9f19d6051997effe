// SHA-256 through OpenSSL's EVP interface.
#include "platform/sha256.h"

#include <new>

#include <openssl/evp.h>

namespace platform {

struct sha256::state {
    EVP_MD_CTX* context = nullptr;
};

sha256::sha256() : state_(std::make_unique<state>())
{
    state_->context = EVP_MD_CTX_new();
    if (!state_->context || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(state_->context);
        throw std::bad_alloc();
    }
}

sha256::~sha256()
{
    EVP_MD_CTX_free(state_->context);
}

void sha256::update(const void* data, std::size_t size)
{
    EVP_DigestUpdate(state_->context, data, size);
}

sha256::digest sha256::finish()
{
    digest value{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, value.data(), &length);
    return value;
}

}  // namespace platform
