// The input file stream's methods: reads served from the read-ahead buffer
// where they can be, seeks noted, and counts or positions stored only where
// the caller gave a place.
#include "archive/in_file_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

bool CInFileStream::Open(const wchar_t* name)
{
    buffered_ = 0;
    position_ = file_position_ = 0;
    return file_.open(name) == S_OK;
}

HRESULT CInFileStream::read_file(void* data, UInt32 size, UInt32& processed)
{
    processed = 0;
    if (file_position_ != position_) {
        UInt64 moved = 0;
        const HRESULT sought = file_.seek(static_cast<Int64>(position_), platform::seek_from_start, moved);
        if (sought != S_OK)
            return sought;
        file_position_ = moved;
    }
    const HRESULT result = file_.read(data, size, processed);
    file_position_ += processed;
    return result;
}

HRESULT CInFileStream::Read(void* data, UInt32 size, UInt32* processedSize)
{
    auto* out = static_cast<unsigned char*>(data);
    UInt32 done = 0;
    HRESULT result = S_OK;
    while (done < size) {
        if (position_ >= buffer_start_ && position_ < buffer_start_ + buffered_) {
            const UInt32 offset = static_cast<UInt32>(position_ - buffer_start_);
            const UInt32 taken = std::min(size - done, buffered_ - offset);
            std::memcpy(out + done, buffer_.get() + offset, taken);
            done += taken;
            position_ += taken;
            continue;
        }
        UInt32 processed = 0;
        if (size - done >= read_ahead) {
            result = read_file(out + done, size - done, processed);
            done += processed;
            position_ += processed;
            break;  // as the file reads: what one call gives
        }
        if (!buffer_)
            buffer_ = std::make_unique<unsigned char[]>(read_ahead);
        buffered_ = 0;
        buffer_start_ = position_;
        result = read_file(buffer_.get(), read_ahead, processed);
        buffered_ = processed;
        if (result != S_OK || processed == 0)
            break;
    }
    if (processedSize)
        *processedSize = done;
    // Bytes that came before a failure are read: the next read meets it again.
    return done > 0 ? S_OK : result;
}

HRESULT CInFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)
{
    // From the start or from here, to a place at or after the start: only noted.
    const Int64 here = static_cast<Int64>(position_);
    const bool from_start = seekOrigin == platform::seek_from_start && offset >= 0;
    const bool from_here = seekOrigin == platform::seek_from_current && offset >= -here &&
                           (offset <= 0 || here <= INT64_MAX - offset);
    if (from_start || from_here) {
        position_ = static_cast<UInt64>(from_start ? offset : here + offset);
        if (newPosition)
            *newPosition = position_;
        return S_OK;
    }
    // Anything else (from the end, before the start, an unknown origin) is
    // the file's to answer, from where the caller is.
    UInt64 position = 0;
    if (seekOrigin == platform::seek_from_current && file_position_ != position_) {
        const HRESULT synced = file_.seek(here, platform::seek_from_start, position);
        if (synced != S_OK)
            return synced;
        file_position_ = position;
    }
    const HRESULT result = file_.seek(offset, seekOrigin, position);
    if (result != S_OK)
        return result;
    position_ = file_position_ = position;
    if (newPosition)
        *newPosition = position;
    return S_OK;
}

HRESULT CInFileStream::GetSize(UInt64* size)
{
    return file_.size(*size);
}
