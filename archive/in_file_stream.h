// CInFileStream: an input file as the seekable stream that archive handlers read.
// Small reads are served from a read-ahead buffer, and seeks within the file
// are only noted until the next read needs them: handlers that read an item's
// header field by field (a zip's local headers) would otherwise make several
// system calls for each item.
#pragma once

#include <memory>

#include "archive/in_stream.h"
#include "platform/input_file.h"

class CInFileStream : public CInStream {
public:
    // Reads of at least this many bytes go to the file directly.
    static constexpr UInt32 read_ahead = 64 * 1024;

    // Opens the file by its wide name; false when it cannot be opened.
    bool Open(const wchar_t* name);

    HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) override;
    HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) override;

private:
    // Reads at most `size` bytes at position_ from the file, without the buffer.
    HRESULT read_file(void* data, UInt32 size, UInt32& processed);

    platform::input_file file_;
    std::unique_ptr<unsigned char[]> buffer_;  // read_ahead bytes once a small read needs them
    UInt64 buffer_start_ = 0;                  // the file's bytes [buffer_start_, + buffered_)
    UInt32 buffered_ = 0;
    UInt64 position_ = 0;                      // where the caller reads next
    UInt64 file_position_ = 0;                 // where the file is
};
