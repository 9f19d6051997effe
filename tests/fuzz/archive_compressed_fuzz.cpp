// Fuzz target for single compressed streams: the archive side
// (archive_family.h) over the handlers of gzip, xz, bzip2, lzma, lzma86, zstd
// and compress (.Z) alone.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({L"gzip", L"xz", L"bzip2", L"lzma", L"lzma86", L"zstd", L"Z"}, data, size);
}
