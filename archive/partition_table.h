// Recognising a disk's master boot record by its first sector. The library's
// MBR format declares neither a signature nor a check of its own; this one
// stands in for it, strict enough that a file which merely holds 0x55 0xAA at
// bytes 510 and 511 is not taken for a disk.
#pragma once

#include <cstddef>

namespace archive {

// Whether `data`, the first `size` bytes of an item, start with a master boot
// record: the boot signature at 510, each of the four entries of the table
// marked active or not, at least one used (a partition type other than 0), and
// every used one starting after the record itself, holding sectors, and lying
// apart from the others.
bool starts_with_partition_table(const unsigned char* data, std::size_t size);

}  // namespace archive
