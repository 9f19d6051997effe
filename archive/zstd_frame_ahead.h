// One frame of a zstd file decoded whole on a thread of its own while the
// reader that started it decodes the frame before: a reading of the whole file
// in order (the first reading of a tarball) then keeps two cores at work.
//
// The thread owns the bytes until take() has waited for it; destroying an
// unfinished one stops its thread at its next piece of input.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace archive {

class zstd_frame_ahead {
public:
    // Decodes the frame whose header is at `input` of the file at `path`, when
    // it decodes to at most `limit` bytes, into `buffer` (whose memory is
    // reused: fresh memory for each frame costs more than decoding it).
    zstd_frame_ahead(std::string path, std::size_t frame, std::uint64_t input, std::size_t limit,
                     std::vector<unsigned char> buffer = {});
    ~zstd_frame_ahead();
    zstd_frame_ahead(const zstd_frame_ahead&) = delete;
    zstd_frame_ahead& operator=(const zstd_frame_ahead&) = delete;

    std::size_t frame() const { return frame_; }

    // Waits for the thread: the frame's bytes, or nothing when they could not
    // be decoded within the limit (the reader then decodes the frame itself).
    std::optional<std::vector<unsigned char>> take();

private:
    bool decode(const std::string& path, std::uint64_t input, std::size_t limit);

    const std::size_t frame_;
    std::atomic<bool> stop_{false};
    std::vector<unsigned char> bytes_;
    bool sound_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace archive
