// One part of a compressed file (an xz block, a zstd frame) decoded whole on a
// thread of its own while the reader that started it decodes the part before:
// a reading of the whole file in order (the first reading of a tarball) then
// keeps two cores at work.
//
// The thread owns the bytes until take() has waited for it; destroying an
// unfinished one stops its thread at its next piece of input.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace archive {

class part_ahead {
public:
    // Decodes into `bytes` (empty, with the memory of `buffer`, which is
    // reused: fresh memory for each part costs more than decoding it); false
    // when the part cannot be decoded. It checks `stop` at each piece of input.
    using decoder = std::function<bool(std::vector<unsigned char>& bytes, const std::atomic<bool>& stop)>;

    part_ahead(std::size_t part, decoder decode, std::vector<unsigned char> buffer = {});
    ~part_ahead();
    part_ahead(const part_ahead&) = delete;
    part_ahead& operator=(const part_ahead&) = delete;

    std::size_t part() const { return part_; }

    // Waits for the thread: the part's bytes, or nothing when they could not
    // be decoded (the reader then decodes the part itself, and meets any damage).
    std::optional<std::vector<unsigned char>> take();

private:
    const std::size_t part_;
    std::atomic<bool> stop_{false};
    std::vector<unsigned char> bytes_;
    bool sound_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace archive
