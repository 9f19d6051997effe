// CInFileStream: an input file as the seekable stream that archive handlers read.
#pragma once

#include "archive/in_stream.h"
#include "platform/input_file.h"

class CInFileStream : public CInStream {
public:
    // Opens the file by its wide name; false when it cannot be opened.
    bool Open(const wchar_t* name) { return File.open(name) == S_OK; }

    HRESULT STDMETHODCALLTYPE Read(void* data, UInt32 size, UInt32* processedSize) override;
    HRESULT STDMETHODCALLTYPE Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) override;
    HRESULT STDMETHODCALLTYPE GetSize(UInt64* size) override;

    platform::input_file File;
};
