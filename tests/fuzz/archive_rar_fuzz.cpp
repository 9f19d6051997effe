// Fuzz target for rar archives: the archive side (archive_family.h) over the
// handlers of rar 1.5 to 4 and of rar 5 alone.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({L"Rar", L"Rar5"}, data, size);
}
