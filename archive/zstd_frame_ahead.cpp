// Decoding one zstd frame on a thread of its own.
#include "archive/zstd_frame_ahead.h"

#include <exception>
#include <memory>

#include <zstd.h>

#include "archive/string_convert.h"
#include "platform/input_file.h"

namespace archive {

namespace {

constexpr std::size_t input_piece_size = 256 * 1024;

struct stream_deleter {
    void operator()(ZSTD_DStream* stream) const { ZSTD_freeDStream(stream); }
};

}  // namespace

zstd_frame_ahead::zstd_frame_ahead(std::string path, std::size_t frame, std::uint64_t input, std::size_t limit,
                                   std::vector<unsigned char> buffer)
    : frame_(frame), bytes_(std::move(buffer)), thread_([this, path = std::move(path), input, limit] {
          bytes_.clear();
          try {
              sound_ = decode(path, input, limit);
          } catch (const std::exception&) {
              sound_ = false;  // no memory for the frame: the reader decodes it itself
          }
      })
{
}

zstd_frame_ahead::~zstd_frame_ahead()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool zstd_frame_ahead::decode(const std::string& path, std::uint64_t input, std::size_t limit)
{
    platform::input_file file;
    std::uint64_t at = 0;
    const std::unique_ptr<ZSTD_DStream, stream_deleter> stream(ZSTD_createDStream());
    if (!stream || file.open(MultiByteToUnicodeString(AString(path.c_str()))) != S_OK ||
        file.seek(static_cast<std::int64_t>(input), platform::seek_from_start, at) != S_OK || at != input)
        return false;
    std::vector<unsigned char> piece(input_piece_size);
    const std::size_t out_size = ZSTD_DStreamOutSize();
    ZSTD_inBuffer in{piece.data(), 0, 0};
    bool flushed = true;  // the last call left no output behind in the decoder
    for (;;) {
        if (in.pos == in.size && flushed) {
            std::uint32_t read = 0;
            if (stop_ || file.read(piece.data(), static_cast<std::uint32_t>(piece.size()), read) != S_OK || read == 0)
                return false;
            in = {piece.data(), read, 0};
        }
        const std::size_t before = bytes_.size();
        bytes_.resize(before + out_size);
        ZSTD_outBuffer out{bytes_.data() + before, out_size, 0};
        const std::size_t result = ZSTD_decompressStream(stream.get(), &out, &in);
        bytes_.resize(before + out.pos);
        flushed = out.pos < out_size;
        if (ZSTD_isError(result) || bytes_.size() > limit)
            return false;
        if (result == 0)
            return true;  // the frame has ended; what follows is the next one's
    }
}

std::optional<std::vector<unsigned char>> zstd_frame_ahead::take()
{
    if (thread_.joinable())
        thread_.join();
    if (!sound_)
        return std::nullopt;
    sound_ = false;
    return std::move(bytes_);
}

}  // namespace archive
