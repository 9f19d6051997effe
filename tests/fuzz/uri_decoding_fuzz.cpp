// Fuzz target for request-target decoding: any input decodes or fails without
// harm, never grows, and a target made by percent-encoding every byte of the
// input decodes back to exactly the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/uri_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string decoded;
    if (http::decode_uri(input, decoded) && decoded.size() > input.size())
        std::abort();

    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char byte : input) {
        encoded += '%';
        encoded += hex[byte >> 4];
        encoded += hex[byte & 0xF];
    }
    if (!http::decode_uri(encoded, decoded) || decoded != input)
        std::abort();
    return 0;
}
