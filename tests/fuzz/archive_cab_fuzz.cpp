// Fuzz target for cabinets: the archive side (archive_family.h) over the cabinet handler alone.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({L"Cab"}, data, size);
}
