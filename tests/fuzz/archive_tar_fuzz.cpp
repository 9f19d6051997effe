// Fuzz target for tar archives: the archive side (archive_family.h) over the tar handler alone.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({L"tar"}, data, size);
}
