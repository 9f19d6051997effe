// Access points into a zstd file of several frames (what `pzstd` writes): each
// frame starts a decoder of its own. zstd keeps no index, so the frames are
// found by walking their headers and block headers through the file, skipping
// the blocks' bytes; skippable frames are skipped. A frame whose header records
// its decoded size places the next frame in the decoded bytes at once; a frame
// that records none (pzstd's do not) is placed when the file is decoded the
// first time, as gzip's points are. The points are gzip_seek_points whose
// `input` is where a frame (or the skippable frames before it) starts, with no
// bits and no window, so that the lasting index keeps them as it keeps gzip's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoded_source.h"
#include "archive/gzip_seek_points.h"
#include "archive/part_ahead.h"
#include "platform/input_file.h"

namespace archive {

struct zstd_frame {
    std::uint64_t input = 0;                    // offset in the file of its header
    std::optional<std::uint64_t> decoded_size;  // when its header records it
};

// The frames of the zstd file at `path` that hold data, in order; nothing when
// the file is not a sound zstd file (another magic number, a reserved block
// type, a frame cut short). The walk stops after the first `most` frames,
// leaving the rest of the file unchecked.
std::optional<std::vector<zstd_frame>> read_zstd_frames(const std::string& path,
                                                        std::size_t most = static_cast<std::size_t>(-1));

// The points that the frames' recorded sizes give: the start of each frame
// after the first, up to the first frame that records no size; complete when
// every frame records it.
std::shared_ptr<gzip_seek_points> zstd_seek_points(const std::vector<zstd_frame>& frames);

// Decodes the zstd file at `path` from its start or from a point of `points`,
// which it extends while they are not complete (see gzip_seek_points). One
// reader belongs to one thread.
class zstd_reader : public decoded_source {
public:
    zstd_reader(std::string path, std::shared_ptr<gzip_seek_points> points);
    ~zstd_reader() override;
    zstd_reader(const zstd_reader&) = delete;
    zstd_reader& operator=(const zstd_reader&) = delete;

    std::uint64_t point_before(std::uint64_t offset) const override;
    decode_status restart_before(std::uint64_t offset) override;
    decode_status decode(unsigned char* data, std::size_t size, std::size_t& decoded) override;
    std::uint64_t position() const override { return output_; }
    std::optional<std::uint64_t> size() const override;

    // After each read of the file, `report` is told how far into it the
    // reading has come, and its size.
    void report_progress(read_progress report);

    // Decodes every other frame on a second thread while this reader decodes
    // the one before, for a reading of the whole file in order; `frames` are
    // the file's (read_zstd_frames). A restart ends it.
    void read_ahead(std::shared_ptr<const std::vector<zstd_frame>> frames);

private:
    std::ptrdiff_t point_index(std::uint64_t offset) const;  // -1: the start
    bool fill_input();
    void record_point();
    // At the start of a frame: takes its bytes from the thread ahead when that
    // decoded them (true), else sets that thread on the next frame.
    bool enter_frame();
    void look_ahead(std::size_t frame);
    void stop_reading_ahead();  // and frees what it held

    std::string path_;
    std::shared_ptr<gzip_seek_points> points_;
    platform::input_file file_;
    struct decoder;
    std::unique_ptr<decoder> zstd_;
    std::vector<unsigned char> input_;
    std::size_t input_start_ = 0;  // unread bytes of input_ are [input_start_, input_end_)
    std::size_t input_end_ = 0;
    std::uint64_t file_offset_ = 0;  // of input_end_ in the file
    std::uint64_t file_size_ = 0;
    std::uint64_t output_ = 0;
    read_progress report_;
    bool between_frames_ = true;  // the decoder has finished a frame (or begun none)
    bool ended_ = false;
    bool damaged_ = false;
    std::shared_ptr<const std::vector<zstd_frame>> frames_;  // while reading ahead
    std::unique_ptr<part_ahead> ahead_;
    std::vector<unsigned char> held_;  // a frame decoded ahead, being served
    std::size_t held_at_ = 0;
    std::vector<unsigned char> spare_;  // the memory of the frame served before, for the next one ahead
};

}  // namespace archive
