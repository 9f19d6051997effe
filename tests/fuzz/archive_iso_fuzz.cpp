// Fuzz target for disc images: the archive side (archive_family.h) over the ISO 9660 and UDF handlers alone.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({L"Iso", L"Udf"}, data, size);
}
