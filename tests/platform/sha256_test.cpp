// The system's SHA-256 (libcrypto here, CNG on Windows) against the published
// test vectors of the standard, fed whole and in uneven pieces.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string digest_in_pieces(const std::string& message, std::size_t piece)
{
    platform::sha256 hash;
    for (std::size_t at = 0; at < message.size(); at += piece)
        hash.update(message.data() + at, std::min(piece, message.size() - at));
    return platform::hex_digest(hash.finish());
}

}  // namespace

TEST(Sha256, PublishedVectorsWholeAndInPieces)
{
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, digest] : vectors) {
        for (const std::size_t piece : {std::size_t{1} << 30, std::size_t{1}, std::size_t{63}, std::size_t{4097}}) {
            if (piece == 1 && message.size() > 1000)
                continue;  // a million one-byte updates say nothing more
            EXPECT_EQ(digest_in_pieces(message, piece), digest) << message.size() << " bytes in pieces of " << piece;
        }
    }
}
