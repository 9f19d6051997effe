// gzip through zlib's deflate with a gzip wrapper.
#include "http/gzip.h"

#include <new>

#include <zlib.h>

namespace http {

std::string gzip_compress(std::string_view bytes)
{
    z_stream stream{};
    // 15 window bits plus 16: a gzip header and trailer instead of zlib's. The
    // fastest level: compression happens while the user waits for the page, and
    // on loopback a few more bytes cost less than the time to save them.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    std::string out(deflateBound(&stream, bytes.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::bad_alloc();
    return out;
}

}  // namespace http
