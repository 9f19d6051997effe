// Reading an xz file's index with liblzma, and decoding it block by block.
#include "archive/xz_blocks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <lzma.h>

#include "archive/string_convert.h"
#include "archive/part_ahead.h"

namespace archive {

namespace {

constexpr std::size_t input_buffer_size = 256 * 1024;
// What the index of a file may take in memory while it is read.
constexpr std::uint64_t index_memory_limit = 256ull << 20;
// The largest block decoded ahead: two of them may be held at once (what
// `xz -T` writes at levels up to 7 fits).
constexpr std::uint64_t ahead_block_limit = 48ull << 20;

bool opens(platform::input_file& file, const std::string& path)
{
    return file.open(MultiByteToUnicodeString(AString(path.c_str()))) == S_OK;
}

bool seek_to(platform::input_file& file, std::uint64_t offset)
{
    std::uint64_t at = 0;
    return file.seek(static_cast<std::int64_t>(offset), platform::seek_from_start, at) == S_OK && at == offset;
}

}  // namespace

// The block decoder keeps using the block's options (it checks the block's
// sizes and its check against them at its end): they live beside the stream.
struct xz_reader::decoder {
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_block block{};
    lzma_filter filters[LZMA_FILTERS_MAX + 1];

    decoder() { filters[0].id = LZMA_VLI_UNKNOWN; }
    ~decoder()
    {
        lzma_end(&stream);
        free_filter_options();
    }
    // Frees the options that the block header's filters were given.
    void free_filter_options()
    {
        for (std::size_t i = 0; i < LZMA_FILTERS_MAX && filters[i].id != LZMA_VLI_UNKNOWN; ++i) {
            std::free(filters[i].options);
            filters[i].options = nullptr;
        }
        filters[0].id = LZMA_VLI_UNKNOWN;
    }
};

std::optional<xz_blocks> read_xz_blocks(const std::string& path)
{
    platform::input_file file;
    std::uint64_t file_size = 0;
    if (!opens(file, path) || file.size(file_size) != S_OK)
        return std::nullopt;
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_index* index = nullptr;
    if (lzma_file_info_decoder(&stream, &index, index_memory_limit, file_size) != LZMA_OK) {
        lzma_end(&stream);
        return std::nullopt;
    }
    std::vector<unsigned char> input(64 * 1024);
    lzma_ret ret = LZMA_OK;
    while (ret == LZMA_OK || ret == LZMA_SEEK_NEEDED) {
        if (ret == LZMA_SEEK_NEEDED && !seek_to(file, stream.seek_pos))
            break;
        if (stream.avail_in == 0 || ret == LZMA_SEEK_NEEDED) {
            std::uint32_t read = 0;
            if (file.read(input.data(), static_cast<std::uint32_t>(input.size()), read) != S_OK)
                break;
            stream.next_in = input.data();
            stream.avail_in = read;
        }
        ret = lzma_code(&stream, stream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
    }
    lzma_end(&stream);
    if (ret != LZMA_STREAM_END || !index)
        return std::nullopt;
    xz_blocks found;
    lzma_index_iter iter;
    lzma_index_iter_init(&iter, index);
    while (!lzma_index_iter_next(&iter, LZMA_INDEX_ITER_NONEMPTY_BLOCK))
        found.blocks.push_back({iter.block.compressed_file_offset, iter.block.uncompressed_file_offset,
                                static_cast<std::uint32_t>(iter.stream.flags->check)});
    found.decoded_size = lzma_index_uncompressed_size(index);
    lzma_index_end(index, nullptr);
    return found;
}

xz_reader::xz_reader(std::string path, std::shared_ptr<const xz_blocks> blocks)
    : path_(std::move(path)), blocks_(std::move(blocks)), lzma_(std::make_unique<decoder>()), input_(input_buffer_size)
{
    damaged_ = !opens(file_, path_);
    if (!damaged_ && !blocks_->blocks.empty())
        damaged_ = !start_block(0);
}

xz_reader::~xz_reader() = default;

void xz_reader::report_progress(read_progress report)
{
    report_ = std::move(report);
    if (file_.size(file_size_) != S_OK)
        file_size_ = 0;
}

std::size_t xz_reader::block_of(std::uint64_t offset) const
{
    const auto& blocks = blocks_->blocks;
    const auto after = std::upper_bound(blocks.begin(), blocks.end(), offset,
                                        [](std::uint64_t value, const xz_block& block) { return value < block.output; });
    return after == blocks.begin() ? 0 : static_cast<std::size_t>(std::prev(after) - blocks.begin());
}

std::uint64_t xz_reader::block_size(std::size_t index) const
{
    const auto& blocks = blocks_->blocks;
    return (index + 1 < blocks.size() ? blocks[index + 1].output : blocks_->decoded_size) - blocks[index].output;
}

void xz_reader::read_ahead()
{
    reading_ahead_ = true;
    if (!damaged_ && held_.empty() && !block_ended_)
        look_ahead(block_ + 1);
}

void xz_reader::look_ahead(std::size_t index)
{
    if (!reading_ahead_ || index >= blocks_->blocks.size() || block_size(index) > ahead_block_limit)
        return;
    if (!ahead_ || ahead_->part() != index)
        ahead_ = std::make_unique<part_ahead>(
            index, [path = path_, blocks = blocks_, index](std::vector<unsigned char>& bytes,
                                                           const std::atomic<bool>& stop) {
                xz_reader reader(path, blocks);
                return reader.decode_block(index, bytes, stop) == decode_status::ok;
            });
}

bool xz_reader::enter_block(std::size_t index)
{
    held_ = {};  // its memory too
    held_at_ = 0;
    if (ahead_ && ahead_->part() == index) {
        std::optional<std::vector<unsigned char>> bytes = ahead_->take();
        ahead_.reset();
        if (bytes) {
            block_ = index;
            output_ = blocks_->blocks[index].output;
            held_ = std::move(*bytes);
            block_ended_ = held_.empty();
            look_ahead(index + 2);  // this reader decodes the one between
            return true;
        }
    }
    if (!start_block(index))
        return false;
    look_ahead(index + 1);
    return true;
}

decode_status xz_reader::decode_block(std::size_t index, std::vector<unsigned char>& bytes,
                                      const std::atomic<bool>& stop)
{
    bytes.resize(static_cast<std::size_t>(block_size(index)));
    if (damaged_ || !start_block(index))
        return decode_status::damaged;
    lzma_stream& stream = lzma_->stream;
    stream.next_out = bytes.data();
    stream.avail_out = bytes.size();
    for (;;) {
        if (stop || (stream.avail_in == 0 && !fill_input()))
            return decode_status::damaged;
        const lzma_ret ret = lzma_code(&stream, LZMA_RUN);
        if (ret == LZMA_STREAM_END)
            return stream.avail_out == 0 ? decode_status::ok : decode_status::damaged;
        if (ret != LZMA_OK)
            return decode_status::damaged;
    }
}

std::uint64_t xz_reader::point_before(std::uint64_t offset) const
{
    return blocks_->blocks.empty() ? 0 : blocks_->blocks[block_of(offset)].output;
}

decode_status xz_reader::restart_before(std::uint64_t offset)
{
    if (blocks_->blocks.empty()) {
        output_ = 0;
        return damaged_ ? decode_status::damaged : decode_status::ok;
    }
    // A reading that goes back is no longer one of the whole file in order.
    const std::size_t target = block_of(offset);
    if (target < block_) {
        reading_ahead_ = false;
        ahead_.reset();
    }
    damaged_ = !enter_block(target);
    return damaged_ ? decode_status::damaged : decode_status::ok;
}

bool xz_reader::fill_input()
{
    std::uint32_t read = 0;
    if (file_.read(input_.data(), static_cast<std::uint32_t>(input_.size()), read) != S_OK || read == 0)
        return false;
    lzma_->stream.next_in = input_.data();
    lzma_->stream.avail_in = read;
    file_offset_ += read;
    if (report_)
        report_(std::min(file_offset_, file_size_), file_size_);
    return true;
}

bool xz_reader::start_block(std::size_t index)
{
    const xz_block& block = blocks_->blocks[index];
    block_ = index;
    output_ = block.output;
    block_ended_ = false;
    lzma_->stream.avail_in = 0;
    if (!seek_to(file_, block.input))
        return false;
    file_offset_ = block.input;
    unsigned char header[LZMA_BLOCK_HEADER_SIZE_MAX];
    std::uint32_t read = 0;
    if (file_.read(header, 1, read) != S_OK || read != 1 || header[0] == 0)
        return false;
    lzma_->free_filter_options();
    lzma_block& options = lzma_->block;
    options = lzma_block{};
    options.version = 1;
    options.check = static_cast<lzma_check>(block.check);
    options.filters = lzma_->filters;
    options.header_size = lzma_block_header_size_decode(header[0]);
    if (file_.read(header + 1, options.header_size - 1, read) != S_OK || read != options.header_size - 1)
        return false;
    file_offset_ += options.header_size;
    return lzma_block_header_decode(&options, nullptr, header) == LZMA_OK &&
           lzma_block_decoder(&lzma_->stream, &options) == LZMA_OK;
}

decode_status xz_reader::decode(unsigned char* data, std::size_t size, std::size_t& decoded)
{
    decoded = 0;
    if (damaged_)
        return decode_status::damaged;
    lzma_stream& stream = lzma_->stream;
    while (decoded < size) {
        if (held_at_ < held_.size()) {
            const std::size_t given = std::min(size - decoded, held_.size() - held_at_);
            std::memcpy(data + decoded, held_.data() + held_at_, given);
            held_at_ += given;
            decoded += given;
            output_ += given;
            block_ended_ = held_at_ == held_.size();
            continue;
        }
        if (block_ended_) {
            if (block_ + 1 >= blocks_->blocks.size())
                break;  // the end
            if (!enter_block(block_ + 1)) {
                damaged_ = true;
                return decode_status::damaged;
            }
            continue;
        }
        if (stream.avail_in == 0 && !fill_input()) {
            damaged_ = true;  // cut short: the index promised more
            return decode_status::damaged;
        }
        stream.next_out = data + decoded;
        stream.avail_out = size - decoded;
        const lzma_ret ret = lzma_code(&stream, LZMA_RUN);
        const std::size_t made = size - decoded - stream.avail_out;
        decoded += made;
        output_ += made;
        if (ret == LZMA_STREAM_END) {
            block_ended_ = true;
            // A block that decodes to other bytes than the index says is damaged.
            const xz_block* next = block_ + 1 < blocks_->blocks.size() ? &blocks_->blocks[block_ + 1] : nullptr;
            if (output_ != (next ? next->output : blocks_->decoded_size)) {
                damaged_ = true;
                return decode_status::damaged;
            }
        } else if (ret != LZMA_OK) {
            damaged_ = true;
            return decode_status::damaged;
        }
    }
    return decode_status::ok;
}

}  // namespace archive
