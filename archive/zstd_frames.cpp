// Walking a zstd file's frames, and decoding it from the start of any frame
// with libzstd.
#include "archive/zstd_frames.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include <zstd.h>

#include "archive/string_convert.h"

namespace archive {

namespace {

constexpr std::size_t input_buffer_size = 256 * 1024;
// A frame larger than this is not decoded ahead: its bytes would be held whole.
constexpr std::size_t ahead_frame_limit = 64 << 20;
// The walk reads a frame header or a block header at a time: small pieces.
constexpr std::size_t walk_buffer_size = 4096;
constexpr std::size_t block_header_size = 3;
constexpr std::size_t frame_checksum_size = 4;

// Pieces of a file at increasing offsets, through one buffer that is filled
// anew at a piece that lies outside it.
class piece_reader {
public:
    piece_reader(platform::input_file& file, std::uint64_t size) : file_(file), size_(size), buffer_(walk_buffer_size) {}

    // The bytes at `offset`, at least `count` of them unless the file ends
    // first, with their number in `available`; nullptr when the file cannot
    // be read there.
    const unsigned char* at(std::uint64_t offset, std::size_t count, std::size_t& available)
    {
        available = 0;
        if (offset > size_)
            return nullptr;
        const std::uint64_t wanted = std::min<std::uint64_t>(count, size_ - offset);
        if (offset < start_ || offset + wanted > start_ + length_) {
            std::uint64_t at = 0;
            if (file_.seek(static_cast<std::int64_t>(offset), platform::seek_from_start, at) != S_OK || at != offset)
                return nullptr;
            start_ = offset;
            length_ = 0;
            const std::size_t fill = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size_ - offset));
            while (length_ < fill) {
                std::uint32_t read = 0;
                if (file_.read(buffer_.data() + length_, static_cast<std::uint32_t>(fill - length_), read) != S_OK ||
                    read == 0)
                    return nullptr;
                length_ += read;
            }
        }
        available = static_cast<std::size_t>(start_ + length_ - offset);
        return buffer_.data() + (offset - start_);
    }

private:
    platform::input_file& file_;
    std::uint64_t size_;
    std::vector<unsigned char> buffer_;
    std::uint64_t start_ = 0;  // the file offset of buffer_'s first byte
    std::size_t length_ = 0;
};

// The offset just past the blocks (and the checksum) of the frame whose blocks
// start at `offset`; nothing when a block is of the reserved type or cut short.
std::optional<std::uint64_t> frame_end(piece_reader& pieces, std::uint64_t offset, bool has_checksum)
{
    for (bool last = false; !last;) {
        std::size_t available = 0;
        const unsigned char* header = pieces.at(offset, block_header_size, available);
        if (!header || available < block_header_size)
            return std::nullopt;
        const std::uint32_t fields = header[0] | (header[1] << 8) | (header[2] << 16);
        last = (fields & 1) != 0;
        const std::uint32_t type = (fields >> 1) & 3;  // raw, a run of one byte, compressed, reserved
        if (type == 3)
            return std::nullopt;
        offset += block_header_size + (type == 1 ? 1 : fields >> 3);
    }
    return offset + (has_checksum ? frame_checksum_size : 0);
}

struct stream_deleter {
    void operator()(ZSTD_DStream* stream) const { ZSTD_freeDStream(stream); }
};

// Decodes the frame whose header is at `input` of the file at `path` into
// `bytes`; false when it does not decode whole within `limit` bytes.
bool decode_frame(const std::string& path, std::uint64_t input, std::size_t limit, std::vector<unsigned char>& bytes,
                  const std::atomic<bool>& stop)
{
    platform::input_file file;
    std::uint64_t at = 0;
    const std::unique_ptr<ZSTD_DStream, stream_deleter> stream(ZSTD_createDStream());
    if (!stream || file.open(MultiByteToUnicodeString(AString(path.c_str()))) != S_OK ||
        file.seek(static_cast<std::int64_t>(input), platform::seek_from_start, at) != S_OK || at != input)
        return false;
    std::vector<unsigned char> piece(input_buffer_size);
    const std::size_t out_size = ZSTD_DStreamOutSize();
    ZSTD_inBuffer in{piece.data(), 0, 0};
    bool flushed = true;  // the last call left no output behind in the decoder
    for (;;) {
        if (in.pos == in.size && flushed) {
            std::uint32_t read = 0;
            if (stop || file.read(piece.data(), static_cast<std::uint32_t>(piece.size()), read) != S_OK || read == 0)
                return false;
            in = {piece.data(), read, 0};
        }
        const std::size_t before = bytes.size();
        bytes.resize(before + out_size);
        ZSTD_outBuffer out{bytes.data() + before, out_size, 0};
        const std::size_t result = ZSTD_decompressStream(stream.get(), &out, &in);
        bytes.resize(before + out.pos);
        flushed = out.pos < out_size;
        if (ZSTD_isError(result) || bytes.size() > limit)
            return false;
        if (result == 0)
            return true;  // the frame has ended; what follows is the next one's
    }
}

}  // namespace

struct zstd_reader::decoder {
    ZSTD_DStream* stream = ZSTD_createDStream();
    decoder() = default;
    decoder(const decoder&) = delete;
    decoder& operator=(const decoder&) = delete;
    ~decoder() { ZSTD_freeDStream(stream); }
};

std::optional<std::vector<zstd_frame>> read_zstd_frames(const std::string& path, std::size_t most)
{
    platform::input_file file;
    std::uint64_t size = 0;
    if (file.open(MultiByteToUnicodeString(AString(path.c_str()))) != S_OK || file.size(size) != S_OK)
        return std::nullopt;
    piece_reader pieces(file, size);
    std::vector<zstd_frame> frames;
    std::uint64_t offset = 0;
    while (offset < size) {
        std::size_t available = 0;
        const unsigned char* header = pieces.at(offset, ZSTD_FRAMEHEADERSIZE_MAX, available);
        ZSTD_frameHeader fields{};
        // Not 0: damaged, or more bytes wanted than the file has.
        if (!header || ZSTD_getFrameHeader(&fields, header, available) != 0)
            return std::nullopt;
        // (The header's size is not filled in for a skippable frame.)
        if (fields.frameType == ZSTD_skippableFrame) {
            offset += ZSTD_SKIPPABLEHEADERSIZE + fields.frameContentSize;
            continue;
        }
        // A frame made with a dictionary cannot be decoded without it.
        if (fields.dictID != 0)
            return std::nullopt;
        frames.push_back({offset, fields.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN
                                      ? std::nullopt
                                      : std::optional<std::uint64_t>(fields.frameContentSize)});
        const std::optional<std::uint64_t> end = frame_end(pieces, offset + fields.headerSize, fields.checksumFlag);
        if (!end)
            return std::nullopt;
        offset = *end;
        if (frames.size() == most)
            return frames;
    }
    if (offset != size)
        return std::nullopt;  // the last frame promised more bytes than the file has
    return frames;
}

std::shared_ptr<gzip_seek_points> zstd_seek_points(const std::vector<zstd_frame>& frames)
{
    auto points = std::make_shared<gzip_seek_points>();
    std::uint64_t output = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        // Empty frames add no point: points are in increasing order of output.
        if (i > 0 && output > (points->points.empty() ? 0 : points->points.back().output)) {
            gzip_access_point point;
            point.output = output;
            point.input = frames[i].input;
            points->points.push_back(std::move(point));
        }
        const std::optional<std::uint64_t>& size = frames[i].decoded_size;
        if (!size || *size > std::numeric_limits<std::uint64_t>::max() - output)
            return points;
        output += *size;
    }
    points->complete_at(output);
    return points;
}

zstd_reader::zstd_reader(std::string path, std::shared_ptr<gzip_seek_points> points)
    : path_(std::move(path)), points_(std::move(points)), zstd_(std::make_unique<decoder>()), input_(input_buffer_size)
{
    damaged_ = !zstd_->stream || file_.open(MultiByteToUnicodeString(AString(path_.c_str()))) != S_OK ||
               file_.size(file_size_) != S_OK;
}

zstd_reader::~zstd_reader() = default;

void zstd_reader::report_progress(read_progress report)
{
    report_ = std::move(report);
}

std::optional<std::uint64_t> zstd_reader::size() const
{
    if (points_->complete)
        return points_->decoded_size;
    return std::nullopt;
}

std::ptrdiff_t zstd_reader::point_index(std::uint64_t offset) const
{
    const auto& points = points_->points;
    const auto after = std::upper_bound(points.begin(), points.end(), offset,
                                        [](std::uint64_t value, const gzip_access_point& point) {
                                            return value < point.output;
                                        });
    return std::distance(points.begin(), after) - 1;
}

std::uint64_t zstd_reader::point_before(std::uint64_t offset) const
{
    const std::ptrdiff_t index = point_index(offset);
    return index < 0 ? 0 : points_->points[static_cast<std::size_t>(index)].output;
}

decode_status zstd_reader::restart_before(std::uint64_t offset)
{
    const std::ptrdiff_t index = point_index(offset);
    const gzip_access_point* point = index < 0 ? nullptr : &points_->points[static_cast<std::size_t>(index)];
    output_ = point ? point->output : 0;
    file_offset_ = point ? point->input : 0;
    input_start_ = input_end_ = 0;
    between_frames_ = true;
    ended_ = false;
    stop_reading_ahead();
    std::uint64_t at = 0;
    damaged_ = !zstd_->stream || ZSTD_isError(ZSTD_DCtx_reset(zstd_->stream, ZSTD_reset_session_only)) ||
               file_.seek(static_cast<std::int64_t>(file_offset_), platform::seek_from_start, at) != S_OK ||
               at != file_offset_;
    return damaged_ ? decode_status::damaged : decode_status::ok;
}

bool zstd_reader::fill_input()
{
    std::uint32_t read = 0;
    if (file_.read(input_.data(), static_cast<std::uint32_t>(input_.size()), read) != S_OK || read == 0)
        return false;
    input_start_ = 0;
    input_end_ = read;
    file_offset_ += read;
    if (report_)
        report_(std::min(file_offset_, file_size_), file_size_);
    return true;
}

// At the end of a frame past the last point, the next frame starts a point
// (unless nothing follows).
void zstd_reader::record_point()
{
    const std::uint64_t input = file_offset_ - (input_end_ - input_start_);
    const std::uint64_t last = points_->points.empty() ? 0 : points_->points.back().output;
    if (points_->complete || input >= file_size_ || output_ <= last)
        return;
    gzip_access_point point;
    point.output = output_;
    point.input = input;
    points_->points.push_back(std::move(point));
}

void zstd_reader::read_ahead(std::shared_ptr<const std::vector<zstd_frame>> frames)
{
    frames_ = std::move(frames);
}

void zstd_reader::stop_reading_ahead()
{
    frames_ = nullptr;
    ahead_.reset();
    held_ = {};  // their memory too
    held_at_ = 0;
    spare_ = {};
}

void zstd_reader::look_ahead(std::size_t frame)
{
    if (frame >= frames_->size() || (ahead_ && ahead_->part() == frame))
        return;
    ahead_ = std::make_unique<part_ahead>(
        frame,
        [path = path_, input = (*frames_)[frame].input](std::vector<unsigned char>& bytes,
                                                        const std::atomic<bool>& stop) {
            return decode_frame(path, input, ahead_frame_limit, bytes, stop);
        },
        std::move(spare_));
    spare_ = {};
}

bool zstd_reader::enter_frame()
{
    const std::vector<zstd_frame>& frames = *frames_;
    const std::uint64_t input = file_offset_ - (input_end_ - input_start_);
    const auto next = std::lower_bound(frames.begin(), frames.end(), input,
                                       [](const zstd_frame& frame, std::uint64_t at) { return frame.input < at; });
    if (next == frames.end())
        return false;
    const auto index = static_cast<std::size_t>(next - frames.begin());
    if (!ahead_ || ahead_->part() != index) {
        look_ahead(index + 1);
        return false;
    }
    std::optional<std::vector<unsigned char>> bytes = ahead_->take();
    ahead_.reset();
    if (!bytes) {
        look_ahead(index + 1);
        return false;
    }
    // The file goes on after the frame (and the skippable frames after it).
    const std::uint64_t after = index + 1 < frames.size() ? frames[index + 1].input : file_size_;
    std::uint64_t at = 0;
    if (file_.seek(static_cast<std::int64_t>(after), platform::seek_from_start, at) != S_OK || at != after) {
        damaged_ = true;
        return false;
    }
    file_offset_ = after;
    input_start_ = input_end_ = 0;
    if (report_)
        report_(std::min(file_offset_, file_size_), file_size_);
    spare_ = std::move(held_);
    held_ = std::move(*bytes);
    held_at_ = 0;
    look_ahead(index + 2);  // this reader decodes the one between
    return true;
}

decode_status zstd_reader::decode(unsigned char* data, std::size_t size, std::size_t& decoded)
{
    decoded = 0;
    while (decoded < size && !ended_ && !damaged_) {
        if (held_at_ < held_.size()) {
            const std::size_t count = std::min(size - decoded, held_.size() - held_at_);
            std::memcpy(data + decoded, held_.data() + held_at_, count);
            held_at_ += count;
            decoded += count;
            output_ += count;
            if (held_at_ == held_.size()) {
                held_.clear();
                held_at_ = 0;
                record_point();
            }
            continue;
        }
        if (frames_ && between_frames_ && enter_frame())
            continue;
        if (input_start_ == input_end_ && file_offset_ < file_size_ && !fill_input()) {
            damaged_ = true;
            break;
        }
        const bool all_given = input_start_ == input_end_;  // the whole file went to the decoder
        if (all_given && between_frames_) {
            ended_ = true;
            break;
        }
        ZSTD_inBuffer in{input_.data(), input_end_, input_start_};
        ZSTD_outBuffer out{data + decoded, size - decoded, 0};
        const std::size_t result = ZSTD_decompressStream(zstd_->stream, &out, &in);
        input_start_ = in.pos;
        decoded += out.pos;
        output_ += out.pos;
        if (ZSTD_isError(result)) {
            damaged_ = true;
            break;
        }
        between_frames_ = result == 0;
        if (all_given && !between_frames_ && out.pos == 0) {
            damaged_ = true;  // the file ends inside a frame
            break;
        }
        if (between_frames_)
            record_point();
    }
    if (ended_ && !damaged_ && !points_->complete) {
        points_->complete_at(output_);
    }
    if ((ended_ || damaged_) && frames_)
        stop_reading_ahead();
    return damaged_ ? decode_status::damaged : decode_status::ok;
}

}  // namespace archive
