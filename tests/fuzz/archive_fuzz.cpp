// Fuzz target for any archive: the archive side (archive_family.h) with every
// format of the library, offered in signature order as the program does. Slower
// than the targets of one family; it covers the formats that have none.
#include "archive_family.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_archive_family({}, data, size);
}
