// The checks of a master boot record's partition table.
#include "archive/partition_table.h"

#include <cstdint>

namespace archive {
namespace {

constexpr std::size_t sector_size = 512;
constexpr std::size_t table_offset = 446;
constexpr std::size_t entry_size = 16;
constexpr int entry_count = 4;

std::uint32_t little_endian_32(const unsigned char* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

struct sector_range {
    std::uint64_t first = 0;
    std::uint64_t end = 0;  // one past the last
};

}  // namespace

bool starts_with_partition_table(const unsigned char* data, std::size_t size)
{
    if (size < sector_size || data[510] != 0x55 || data[511] != 0xAA)
        return false;
    sector_range used[entry_count];
    int used_count = 0;
    for (int i = 0; i < entry_count; ++i) {
        const unsigned char* entry = data + table_offset + entry_size * static_cast<std::size_t>(i);
        if (entry[0] != 0x00 && entry[0] != 0x80)
            return false;
        if (entry[4] == 0)
            continue;
        const std::uint64_t first = little_endian_32(entry + 8);
        const std::uint64_t count = little_endian_32(entry + 12);
        if (first == 0 || count == 0)
            return false;
        const sector_range range{first, first + count};
        for (int j = 0; j < used_count; ++j)
            if (range.first < used[j].end && used[j].first < range.end)
                return false;
        used[used_count++] = range;
    }
    return used_count > 0;
}

}  // namespace archive
