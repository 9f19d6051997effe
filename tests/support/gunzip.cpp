// gzip decoding through zlib.
#include "tests/support/gunzip.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace test_support {

std::string gunzip(const std::string& compressed)
{
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    std::string out;
    int result = Z_OK;
    while (result == Z_OK) {
        char piece[65536];
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof piece;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(piece, sizeof piece - stream.avail_out);
    }
    inflateEnd(&stream);
    EXPECT_EQ(result, Z_STREAM_END) << "not a complete gzip stream";
    return out;
}

}  // namespace test_support
