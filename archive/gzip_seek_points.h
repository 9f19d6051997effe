// Access points into a gzip file: decoding can start at any of them without
// decoding what comes before. A point is a boundary between two deflate blocks
// (the compressed offset and the bits of the byte before it that belong after
// it) with the 32 KiB of decoded bytes before it, which the blocks after it may
// refer back to. The points are recorded while the file is decoded the first
// time, one about every `spacing` decoded bytes; files of several members
// (what parallel compressors write) are decoded as one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoded_source.h"
#include "platform/input_file.h"

namespace archive {

// The window that deflate refers back into.
inline constexpr std::size_t deflate_window_size = 32768;

struct gzip_access_point {
    std::uint64_t output = 0;  // offset in the decoded bytes
    std::uint64_t input = 0;   // offset in the file of the first whole byte after the point
    int bits = 0;              // how many high bits of the byte before `input` come after the point (0-7)
    std::vector<unsigned char> window;  // the decoded bytes before `output`, at most deflate_window_size
    // Instead of `window`, when the point comes from a lasting index: the
    // window as zlib compressed it there, inflated only when decoding starts
    // at the point (a start then reads the index without inflating hundreds
    // of windows).
    std::string packed_window;
};

// The points of one file, in order of `output`. While `complete` is false a
// reader adds points as it decodes past the last one; once it is true (the end
// was reached) the points no longer change and readers on several threads
// may share them.
struct gzip_seek_points {
    std::uint64_t spacing = 4u << 20;  // decoded bytes between two points, at least
    std::vector<gzip_access_point> points;
    bool complete = false;
    std::uint64_t decoded_size = 0;  // when complete

    // The end was reached at `size`: the points change no more.
    void complete_at(std::uint64_t size)
    {
        complete = true;
        decoded_size = size;
    }
};

// Whether the file at `path` starts like a gzip file.
bool starts_like_gzip(const std::string& path);

// Decodes the gzip file at `path` from its start or from a point of `points`,
// which it extends while they are not complete (see gzip_seek_points). One
// reader belongs to one thread.
class gzip_reader : public decoded_source {
public:
    gzip_reader(std::string path, std::shared_ptr<gzip_seek_points> points);
    ~gzip_reader() override;
    gzip_reader(const gzip_reader&) = delete;
    gzip_reader& operator=(const gzip_reader&) = delete;

    std::uint64_t point_before(std::uint64_t offset) const override;
    decode_status restart_before(std::uint64_t offset) override;
    decode_status decode(unsigned char* data, std::size_t size, std::size_t& decoded) override;
    std::uint64_t position() const override { return output_; }
    std::optional<std::uint64_t> size() const override;

    // After each read of the file, `report` is told how many of its bytes were
    // read so far, and its size.
    void report_progress(read_progress report);

private:
    // Decoding from the point at `index`, or from the start when it is -1.
    decode_status start_at(std::ptrdiff_t index);
    // Keeps at least `count` unread bytes in the input buffer while the file has them.
    bool fill_input(std::size_t count);
    // After a member's deflate data; false when another member follows.
    bool at_member_end();
    void record_point();

    std::string path_;
    std::shared_ptr<gzip_seek_points> points_;
    platform::input_file file_;
    struct inflater;
    std::unique_ptr<inflater> z_;
    std::vector<unsigned char> input_;
    std::size_t input_start_ = 0;  // unread bytes of input_ are [input_start_, input_end_)
    std::size_t input_end_ = 0;
    std::uint64_t file_offset_ = 0;  // of input_end_ in the file
    std::uint64_t output_ = 0;
    read_progress report_;
    std::uint64_t file_size_ = 0;
    bool raw_ = false;    // the member is read from a point: its trailer is skipped by hand
    bool ended_ = false;  // the last member ended
    bool damaged_ = false;
};

}  // namespace archive
