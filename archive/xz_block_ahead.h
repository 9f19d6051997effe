// One block of an xz file decoded whole on a thread of its own while the
// reader that started it decodes the block before: a reading of the whole file
// in order (the first reading of a tarball) then keeps two cores at work.
//
// The thread owns the bytes until take() has waited for it; destroying an
// unfinished one stops its thread at its next piece of input.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "archive/xz_blocks.h"

namespace archive {

class xz_block_ahead {
public:
    xz_block_ahead(std::string path, std::shared_ptr<const xz_blocks> blocks, std::size_t block);
    ~xz_block_ahead();
    xz_block_ahead(const xz_block_ahead&) = delete;
    xz_block_ahead& operator=(const xz_block_ahead&) = delete;

    std::size_t block() const { return block_; }

    // Waits for the thread: the block's bytes, or nothing when they could not
    // be decoded (the reader then decodes the block itself and meets the damage).
    std::optional<std::vector<unsigned char>> take();

private:
    const std::size_t block_;
    std::atomic<bool> stop_{false};
    std::vector<unsigned char> bytes_;
    bool sound_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace archive
