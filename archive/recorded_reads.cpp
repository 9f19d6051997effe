// Recording reads into deflated pieces of 1 MiB, and serving them again.
#include "archive/recorded_reads.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "archive/byte_fields.h"

namespace archive {

namespace {

constexpr std::size_t chunk_size = 1u << 20;

}  // namespace

void recorded_reads::add(std::uint64_t offset, const unsigned char* data, std::size_t size)
{
    if (finished_ || size == 0)
        return;
    if (!regions_.empty() && offset < regions_.back().offset + regions_.back().length)
        return;
    if (!regions_.empty() && offset == regions_.back().offset + regions_.back().length)
        regions_.back().length += size;
    else
        regions_.push_back({offset, size, stored_});
    stored_ += size;
    pending_.append(reinterpret_cast<const char*>(data), size);
    if (pending_.size() >= chunk_size)
        seal_pending();
}

void recorded_reads::seal_pending()
{
    if (pending_.empty())
        return;
    chunk piece;
    piece.stored = stored_ - pending_.size();
    piece.size = static_cast<std::uint32_t>(pending_.size());
    uLongf length = compressBound(static_cast<uLong>(pending_.size()));
    piece.deflated.resize(length);
    if (compress2(reinterpret_cast<Bytef*>(piece.deflated.data()), &length,
                  reinterpret_cast<const Bytef*>(pending_.data()), static_cast<uLong>(pending_.size()), 6) != Z_OK) {
        // Without memory for it the record ends here: later reads decode.
        finished_ = true;
        return;
    }
    piece.deflated.resize(length);
    chunks_.push_back(std::move(piece));
    pending_.clear();
}

void recorded_reads::finish()
{
    if (finished_)
        return;
    seal_pending();
    // Bytes that no chunk holds (after a failed deflate) are no longer recorded.
    const std::uint64_t held = chunks_.empty() ? 0 : chunks_.back().stored + chunks_.back().size;
    while (!regions_.empty() && regions_.back().stored >= held)
        regions_.pop_back();
    if (!regions_.empty() && regions_.back().stored + regions_.back().length > held)
        regions_.back().length = held - regions_.back().stored;
    pending_.clear();
    pending_.shrink_to_fit();
    finished_ = true;
}

std::uint64_t recorded_reads::kept_size() const
{
    std::uint64_t size = regions_.size() * sizeof(region);
    for (const chunk& piece : chunks_)
        size += piece.deflated.size() + sizeof(chunk);
    return size;
}

bool recorded_reads::copy(std::uint64_t offset, std::size_t size, unsigned char* data, cursor& at) const
{
    if (!finished_ || size == 0)
        return false;
    auto after = std::upper_bound(regions_.begin(), regions_.end(), offset,
                                  [](std::uint64_t value, const region& r) { return value < r.offset; });
    if (after == regions_.begin())
        return false;
    const region& r = *std::prev(after);
    if (offset + size > r.offset + r.length)
        return false;
    std::uint64_t stored = r.stored + (offset - r.offset);
    std::size_t copied = 0;
    while (copied < size) {
        auto piece = std::upper_bound(chunks_.begin(), chunks_.end(), stored,
                                      [](std::uint64_t value, const chunk& c) { return value < c.stored; });
        const std::size_t index = static_cast<std::size_t>(std::distance(chunks_.begin(), piece)) - 1;
        const chunk& c = chunks_[index];
        if (at.chunk != index) {
            at.bytes.resize(c.size);
            uLongf length = c.size;
            if (uncompress(reinterpret_cast<Bytef*>(at.bytes.data()), &length,
                           reinterpret_cast<const Bytef*>(c.deflated.data()), static_cast<uLong>(c.deflated.size())) !=
                    Z_OK ||
                length != c.size) {
                at.chunk = ~std::size_t(0);
                return false;
            }
            at.chunk = index;
        }
        const std::size_t within = static_cast<std::size_t>(stored - c.stored);
        const std::size_t count = std::min<std::size_t>(size - copied, c.size - within);
        std::memcpy(data + copied, at.bytes.data() + within, count);
        copied += count;
        stored += count;
    }
    return true;
}

std::string recorded_reads::to_bytes() const
{
    field_writer out;
    out.put(regions_.size());
    for (const region& r : regions_) {
        out.put(r.offset);
        out.put(r.length);
        out.put(r.stored);
    }
    out.put(chunks_.size());
    for (const chunk& c : chunks_) {
        out.put(c.stored);
        out.put(c.size);
        out.put_string(c.deflated);
    }
    return std::move(out.bytes());
}

bool recorded_reads::from_bytes(const std::string& bytes)
{
    *this = recorded_reads();
    field_reader in(bytes);
    std::uint64_t count = 0;
    bool sound = in.get(count) && count <= bytes.size() / 24;
    std::uint64_t next_stored = 0, end_offset = 0;
    for (std::uint64_t i = 0; sound && i < count; ++i) {
        region r;
        sound = in.get(r.offset) && in.get(r.length) && in.get(r.stored) && r.stored == next_stored &&
                r.length > 0 && r.offset >= end_offset && r.offset + r.length > r.offset;
        next_stored = r.stored + r.length;
        end_offset = r.offset + r.length;
        regions_.push_back(r);
    }
    sound = sound && in.get(count) && count <= bytes.size() / 24;
    std::uint64_t chunk_end = 0;
    for (std::uint64_t i = 0; sound && i < count; ++i) {
        chunk c;
        std::uint64_t size = 0;
        sound = in.get(c.stored) && in.get(size) && size > 0 && size <= chunk_size * 2 && c.stored == chunk_end &&
                in.get_string(c.deflated);
        c.size = static_cast<std::uint32_t>(size);
        chunk_end = c.stored + size;
        chunks_.push_back(std::move(c));
    }
    if (!sound || !in.at_end() || chunk_end != next_stored) {
        *this = recorded_reads();
        return false;
    }
    stored_ = next_stored;
    finished_ = true;
    return true;
}

}  // namespace archive
