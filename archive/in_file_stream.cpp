// The input file stream's methods: each passes to the file, and stores its count
// or position only where the caller gave a place.
#include "archive/in_file_stream.h"

HRESULT CInFileStream::Read(void* data, UInt32 size, UInt32* processedSize)
{
    UInt32 processed = 0;
    const HRESULT result = File.read(data, size, processed);
    if (processedSize)
        *processedSize = processed;
    return result;
}

HRESULT CInFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)
{
    UInt64 position = 0;
    const HRESULT result = File.seek(offset, seekOrigin, position);
    if (newPosition && result == S_OK)
        *newPosition = position;
    return result;
}

HRESULT CInFileStream::GetSize(UInt64* size)
{
    return File.size(*size);
}
