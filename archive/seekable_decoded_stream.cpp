// Reading and seeking over decoded bytes.
#include "archive/seekable_decoded_stream.h"

#include "platform/input_file.h"

namespace {

constexpr std::size_t scratch_size = 256 * 1024;
// Reads up to this size are recorded: headers, not items' data.
constexpr std::size_t recorded_read_size = 64 * 1024;

}  // namespace

CSeekableDecodedStream::CSeekableDecodedStream(std::unique_ptr<archive::decoded_source> source,
                                               archive::decoded_stream_options options)
    : Source(std::move(source)), Options(std::move(options)), Scratch(scratch_size)
{
}

bool CSeekableDecodedStream::Reach()
{
    const UInt64 at = Source->position();
    // Back, or beyond an access point past the source: start at the point.
    if (Position < at || Source->point_before(Position) > at) {
        if (Source->restart_before(Position) != archive::decode_status::ok)
            return false;
    }
    while (Source->position() < Position) {
        const UInt64 left = Position - Source->position();
        std::size_t decoded = 0;
        const archive::decode_status status =
            Source->decode(Scratch.data(), static_cast<std::size_t>(std::min<UInt64>(left, Scratch.size())), decoded);
        if (status != archive::decode_status::ok) {
            Damaged = true;
            DamagedAt = Source->position();
            return false;
        }
        if (decoded == 0)
            return true;  // the end is before Position
    }
    return true;
}

HRESULT STDMETHODCALLTYPE CSeekableDecodedStream::Read(void* data, UInt32 size, UInt32* processedSize)
{
    if (processedSize)
        *processedSize = 0;
    const std::optional<UInt64> end = Source->size();
    if (size == 0 || (end && Position >= *end))
        return S_OK;
    archive::recorded_reads* reads = Options.reads.get();
    if (reads && reads->finished() && reads->copy(Position, size, static_cast<unsigned char*>(data), Recorded)) {
        Position += size;
        if (processedSize)
            *processedSize = size;
        return S_OK;
    }
    if (!Reach())
        return E_FAIL;
    if (Source->position() != Position)
        return S_OK;  // past the end
    std::size_t total = 0;
    auto* bytes = static_cast<unsigned char*>(data);
    while (total < size) {
        std::size_t decoded = 0;
        if (Source->decode(bytes + total, size - total, decoded) != archive::decode_status::ok) {
            Damaged = true;
            DamagedAt = Source->position();
            total += decoded;
            Position += decoded;
            if (processedSize)
                *processedSize = static_cast<UInt32>(total);
            return E_FAIL;
        }
        if (decoded == 0)
            break;
        total += decoded;
    }
    if (reads && !reads->finished() && total <= recorded_read_size)
        reads->add(Position, bytes, total);
    Position += total;
    if (processedSize)
        *processedSize = static_cast<UInt32>(total);
    return S_OK;
}

bool CSeekableDecodedStream::DecodeToEnd()
{
    constexpr UInt64 beyond = ~UInt64(0);
    if (!Source->size() && !Damaged && Source->point_before(beyond) > Source->position() &&
        Source->restart_before(beyond) != archive::decode_status::ok)
        return false;
    while (!Source->size()) {
        if (Damaged)
            return false;
        std::size_t decoded = 0;
        if (Source->decode(Scratch.data(), Scratch.size(), decoded) != archive::decode_status::ok) {
            Damaged = true;
            DamagedAt = Source->position();
            return false;
        }
        if (decoded == 0 && !Source->size())
            return false;
    }
    return true;
}

HRESULT STDMETHODCALLTYPE CSeekableDecodedStream::GetSize(UInt64* size)
{
    if (!Source->size() && Options.size_bound) {
        *size = *Options.size_bound;
        return S_OK;
    }
    const UInt64 position = Position;
    if (!Source->size()) {
        // Decoding on from wherever the source is: the reads after this one
        // start again at a point.
        DecodeToEnd();
    }
    Position = position;
    *size = Source->size() ? *Source->size() : DamagedAt;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSeekableDecodedStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)
{
    Int64 base = 0;
    switch (seekOrigin) {
    case platform::seek_from_start: break;
    case platform::seek_from_current: base = static_cast<Int64>(Position); break;
    case platform::seek_from_end: {
        UInt64 size = 0;
        GetSize(&size);
        base = static_cast<Int64>(size);
        break;
    }
    default: return STG_E_INVALIDFUNCTION;
    }
    if (offset < 0 && -offset > base)
        return STG_E_INVALIDFUNCTION;
    Position = static_cast<UInt64>(base + offset);
    if (newPosition)
        *newPosition = Position;
    return S_OK;
}
