// Decoding a gzip file with zlib, recording access points on the way and
// resuming at them with a primed bit buffer and a preset window.
#include "archive/gzip_seek_points.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "archive/string_convert.h"

namespace archive {

namespace {

constexpr std::size_t input_buffer_size = 256 * 1024;
constexpr int gzip_window_bits = 15 + 16;  // a gzip header and trailer around deflate data
constexpr int raw_window_bits = -15;       // deflate data alone
constexpr std::size_t gzip_trailer_size = 8;

bool opens(platform::input_file& file, const std::string& path)
{
    return file.open(MultiByteToUnicodeString(AString(path.c_str()))) == S_OK;
}

}  // namespace

struct gzip_reader::inflater {
    z_stream stream{};
    bool ready = false;
    ~inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }
};

bool starts_like_gzip(const std::string& path)
{
    platform::input_file file;
    unsigned char magic[3] = {};
    std::uint32_t read = 0;
    return opens(file, path) && file.read(magic, sizeof magic, read) == S_OK && read == sizeof magic &&
           magic[0] == 0x1f && magic[1] == 0x8b && magic[2] == 8;
}

gzip_reader::gzip_reader(std::string path, std::shared_ptr<gzip_seek_points> points)
    : path_(std::move(path)), points_(std::move(points)), z_(std::make_unique<inflater>()), input_(input_buffer_size)
{
    if (!opens(file_, path_) || inflateInit2(&z_->stream, gzip_window_bits) != Z_OK) {
        damaged_ = true;
        return;
    }
    z_->ready = true;
}

gzip_reader::~gzip_reader() = default;

void gzip_reader::report_progress(read_progress report)
{
    report_ = std::move(report);
    if (file_.size(file_size_) != S_OK)
        file_size_ = 0;
}

std::uint64_t gzip_reader::point_before(std::uint64_t offset) const
{
    const auto& points = points_->points;
    const auto after = std::upper_bound(points.begin(), points.end(), offset,
                                        [](std::uint64_t value, const gzip_access_point& point) {
                                            return value < point.output;
                                        });
    return after == points.begin() ? 0 : std::prev(after)->output;
}

std::optional<std::uint64_t> gzip_reader::size() const
{
    if (points_->complete)
        return points_->decoded_size;
    return std::nullopt;
}

decode_status gzip_reader::restart_before(std::uint64_t offset)
{
    const auto& points = points_->points;
    const auto after = std::upper_bound(points.begin(), points.end(), offset,
                                        [](std::uint64_t value, const gzip_access_point& point) {
                                            return value < point.output;
                                        });
    return start_at(std::distance(points.begin(), after) - 1);
}

decode_status gzip_reader::start_at(std::ptrdiff_t index)
{
    if (!z_->ready)
        return decode_status::damaged;
    damaged_ = ended_ = false;
    input_start_ = input_end_ = 0;
    z_->stream.avail_in = 0;
    const gzip_access_point* point = index < 0 ? nullptr : &points_->points[static_cast<std::size_t>(index)];
    raw_ = point != nullptr;
    output_ = point ? point->output : 0;
    file_offset_ = point ? point->input - (point->bits ? 1 : 0) : 0;
    std::uint64_t ignored = 0;
    if (inflateReset2(&z_->stream, raw_ ? raw_window_bits : gzip_window_bits) != Z_OK ||
        file_.seek(static_cast<std::int64_t>(file_offset_), platform::seek_from_start, ignored) != S_OK) {
        damaged_ = true;
        return decode_status::damaged;
    }
    if (!point)
        return decode_status::ok;
    if (point->bits) {
        if (!fill_input(1)) {
            damaged_ = true;
            return decode_status::damaged;
        }
        const int byte = input_[input_start_++];
        if (inflatePrime(&z_->stream, point->bits, byte >> (8 - point->bits)) != Z_OK)
            damaged_ = true;
    }
    std::vector<unsigned char> unpacked;
    const std::vector<unsigned char>* window = &point->window;
    if (window->empty() && !point->packed_window.empty()) {
        unpacked.resize(deflate_window_size);
        uLongf length = static_cast<uLongf>(unpacked.size());
        if (uncompress(unpacked.data(), &length, reinterpret_cast<const Bytef*>(point->packed_window.data()),
                       static_cast<uLong>(point->packed_window.size())) != Z_OK)
            damaged_ = true;
        unpacked.resize(length);
        window = &unpacked;
    }
    if (!damaged_ &&
        inflateSetDictionary(&z_->stream, window->data(), static_cast<uInt>(window->size())) != Z_OK)
        damaged_ = true;
    return damaged_ ? decode_status::damaged : decode_status::ok;
}

bool gzip_reader::fill_input(std::size_t count)
{
    while (input_end_ - input_start_ < count) {
        if (input_start_ > 0) {
            std::memmove(input_.data(), input_.data() + input_start_, input_end_ - input_start_);
            input_end_ -= input_start_;
            input_start_ = 0;
        }
        std::uint32_t read = 0;
        if (file_.read(input_.data() + input_end_, static_cast<std::uint32_t>(input_.size() - input_end_), read) !=
                S_OK ||
            read == 0)
            return false;
        input_end_ += read;
        file_offset_ += read;
        if (report_)
            report_(file_offset_, file_size_);
    }
    return true;
}

bool gzip_reader::at_member_end()
{
    if (raw_) {
        // zlib read no header of this member, so it leaves its trailer.
        if (!fill_input(gzip_trailer_size)) {
            damaged_ = true;
            return true;
        }
        input_start_ += gzip_trailer_size;
        raw_ = false;
    }
    // Another member follows when a gzip header does; other bytes after the
    // last member (zeros that padded it, say) are not decoded.
    if (!fill_input(2) || input_[input_start_] != 0x1f || input_[input_start_ + 1] != 0x8b)
        return true;
    if (inflateReset2(&z_->stream, gzip_window_bits) != Z_OK) {
        damaged_ = true;
        return true;
    }
    return false;
}

void gzip_reader::record_point()
{
    gzip_access_point point;
    point.output = output_;
    point.input = file_offset_ - (input_end_ - input_start_);
    point.bits = z_->stream.data_type & 7;
    point.window.resize(deflate_window_size);
    uInt length = static_cast<uInt>(point.window.size());
    if (inflateGetDictionary(&z_->stream, point.window.data(), &length) != Z_OK)
        return;
    point.window.resize(length);
    points_->points.push_back(std::move(point));
}

decode_status gzip_reader::decode(unsigned char* data, std::size_t size, std::size_t& decoded)
{
    decoded = 0;
    z_stream& z = z_->stream;
    while (decoded < size && !ended_ && !damaged_) {
        if (input_start_ == input_end_ && !fill_input(1)) {
            damaged_ = true;  // the file ends inside a member
            break;
        }
        // Past the last point, inflate stops at each block's end, where a
        // point may be recorded.
        const bool extending = !points_->complete &&
                               output_ + (size - decoded) >=
                                   (points_->points.empty() ? 0 : points_->points.back().output) + points_->spacing;
        z.next_in = input_.data() + input_start_;
        z.avail_in = static_cast<uInt>(input_end_ - input_start_);
        const std::size_t room = std::min<std::size_t>(size - decoded, 1u << 30);
        z.next_out = data + decoded;
        z.avail_out = static_cast<uInt>(room);
        const int result = inflate(&z, extending ? Z_BLOCK : Z_NO_FLUSH);
        const std::size_t produced = room - z.avail_out;
        decoded += produced;
        output_ += produced;
        input_start_ = input_end_ - z.avail_in;
        if (result == Z_STREAM_END) {
            ended_ = at_member_end();
            continue;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            damaged_ = true;
            break;
        }
        const std::uint64_t last = points_->points.empty() ? 0 : points_->points.back().output;
        if (extending && (z.data_type & 128) && !(z.data_type & 64) && output_ >= last + points_->spacing)
            record_point();
    }
    if (ended_ && !damaged_ && !points_->complete) {
        points_->complete_at(output_);
    }
    return damaged_ ? decode_status::damaged : decode_status::ok;
}

}  // namespace archive
