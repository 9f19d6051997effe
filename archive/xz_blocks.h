// Access points into an xz file of several blocks (what `xz -T` and other
// parallel compressors write): each block starts a decoder of its own, and the
// file's own index, at its end, tells where every block starts in the file and
// in the decoded bytes. Nothing is recorded on a first reading: the index is
// read in a few small reads of the file's end. Files of several streams are
// decoded as one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoded_source.h"
#include "archive/gzip_seek_points.h"
#include "platform/input_file.h"

namespace archive {

struct xz_block {
    std::uint64_t input = 0;   // offset in the file of its block header
    std::uint64_t output = 0;  // offset in the decoded bytes
    std::uint32_t check = 0;   // the integrity check of its stream (lzma_check)
};

// The blocks of one file, in order; shared by readers on several threads.
struct xz_blocks {
    std::vector<xz_block> blocks;
    std::uint64_t decoded_size = 0;
};

// The blocks of the xz file at `path`, from its index; nothing when the file is
// not a sound xz file or its index cannot be read.
std::optional<xz_blocks> read_xz_blocks(const std::string& path);

class part_ahead;

// Decodes the xz file at `path` from its start or from the start of a block.
// One reader belongs to one thread (and owns the one that decodes ahead).
class xz_reader : public decoded_source {
public:
    xz_reader(std::string path, std::shared_ptr<const xz_blocks> blocks);
    ~xz_reader() override;
    xz_reader(const xz_reader&) = delete;
    xz_reader& operator=(const xz_reader&) = delete;

    std::uint64_t point_before(std::uint64_t offset) const override;
    decode_status restart_before(std::uint64_t offset) override;
    decode_status decode(unsigned char* data, std::size_t size, std::size_t& decoded) override;
    std::uint64_t position() const override { return output_; }
    std::optional<std::uint64_t> size() const override { return blocks_->decoded_size; }

    // After each read of the file, `report` is told how far into it the
    // reading has come, and its size.
    void report_progress(read_progress report);

    // From now on, while a block is decoded, the next one is decoded whole on
    // another thread (blocks of up to 48 MiB): for a reading of the whole file
    // in order, which then takes about half the time on two cores. It lasts
    // until the reading goes back.
    void read_ahead();

    // Decodes the whole block at `index` into `bytes`, checking it at its end;
    // gives up as damaged once `stop` is set.
    decode_status decode_block(std::size_t index, std::vector<unsigned char>& bytes, const std::atomic<bool>& stop);

private:
    std::size_t block_of(std::uint64_t offset) const;
    std::uint64_t block_size(std::size_t index) const;
    // Starts the decoder of the block at `index`; false on damage.
    bool start_block(std::size_t index);
    // Goes on at the block at `index`: its bytes from the thread that decoded
    // it ahead, else its decoder; false on damage.
    bool enter_block(std::size_t index);
    // Has the block at `index` decoded ahead, when reading ahead and it fits.
    void look_ahead(std::size_t index);
    bool fill_input();

    std::string path_;
    std::shared_ptr<const xz_blocks> blocks_;
    platform::input_file file_;
    struct decoder;
    std::unique_ptr<decoder> lzma_;
    std::vector<unsigned char> input_;
    std::size_t block_ = 0;          // the block being decoded
    bool block_ended_ = true;        // its decoder has reached its end
    std::uint64_t file_offset_ = 0;  // of the end of what input_ holds
    std::uint64_t output_ = 0;
    read_progress report_;
    std::uint64_t file_size_ = 0;
    bool damaged_ = false;
    bool reading_ahead_ = false;
    std::unique_ptr<part_ahead> ahead_;
    std::vector<unsigned char> held_;  // the current block, when it was decoded ahead
    std::size_t held_at_ = 0;          // how much of it has been given
};

}  // namespace archive
