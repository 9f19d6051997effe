// CSeekableDecodedStream: the decoded bytes of a compressed file as a seekable
// stream for the library's handlers (the tar handler of a .tar.gz, say),
// without a decoded copy anywhere. A read where the source is decodes on; a
// read elsewhere starts again at the nearest access point before it, unless
// decoding on from where the source is costs less.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "archive/decoded_source.h"
#include "archive/in_stream.h"
#include "archive/recorded_reads.h"

namespace archive {

struct decoded_stream_options {
    // Small reads are recorded into it while it is not finished, and served
    // from it once it is.
    std::shared_ptr<recorded_reads> reads;
    // The size answered while the decoded size is not known yet (an upper
    // bound, for a handler that asks for the size first but stops at its own
    // end, as tar's does), instead of decoding to the end first.
    std::optional<std::uint64_t> size_bound;
};

}  // namespace archive

class CSeekableDecodedStream : public CInStream {
public:
    explicit CSeekableDecodedStream(std::unique_ptr<archive::decoded_source> source,
                                    archive::decoded_stream_options options = {});

    // A read that meets damaged compressed bytes fails (E_FAIL) after the
    // bytes before them; the size of a source that cannot be decoded to its
    // end is where the damage is.
    HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) override;
    HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) override;

    // Decodes on to the end (from where the source is), which completes the
    // access points of a source that records them. False on damage.
    bool DecodeToEnd();

private:
    // Brings the source to Position; false on damage.
    bool Reach();

    std::unique_ptr<archive::decoded_source> Source;
    archive::decoded_stream_options Options;
    archive::recorded_reads::cursor Recorded;
    std::vector<unsigned char> Scratch;  // bytes decoded on the way and dropped
    UInt64 Position = 0;
    bool Damaged = false;
    UInt64 DamagedAt = 0;  // the source's position when it met damage
};
