// The check of a master boot record, as a table of first sectors.
#include "archive/partition_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct entry {
    unsigned char status = 0;
    unsigned char type = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

void put_32(std::string& sector, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        sector[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A first sector of `filler` bytes with the given table and the boot signature.
std::string sector_with(std::initializer_list<entry> entries, char filler = '\0', bool signature = true)
{
    std::string sector(512, filler);
    std::size_t at = 446;
    for (const entry& e : entries) {
        sector.replace(at, 16, 16, '\0');
        sector[at] = static_cast<char>(e.status);
        sector[at + 4] = static_cast<char>(e.type);
        put_32(sector, at + 8, e.first);
        put_32(sector, at + 12, e.count);
        at += 16;
    }
    if (signature) {
        sector[510] = static_cast<char>(0x55);
        sector[511] = static_cast<char>(0xAA);
    }
    return sector;
}

bool check(const std::string& bytes)
{
    return archive::starts_with_partition_table(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(PartitionTable, AcceptsSoundTablesOnly)
{
    const entry fat{0x80, 0x0c, 2048, 14336};
    const entry empty{};
    const std::string sound = sector_with({fat, empty, empty, empty});
    struct row {
        const char* what;
        std::string sector;
        bool accepted;
    };
    const row table[] = {
        {"one active FAT partition", sound, true},
        {"two partitions, the second not active", sector_with({{0, 0x0c, 2048, 6144}, {0, 0x83, 8192, 8192}}), true},
        {"GPT's protective record", sector_with({{0, 0xee, 1, 0xffffffff}}), true},
        {"followed by more bytes", sound + std::string(4096, 'x'), true},
        {"no boot signature", sector_with({fat}, '\0', false), false},
        {"the signature with a table of text", std::string(510, 't') + "\x55\xAA", false},
        {"the signature with an empty table", sector_with({}), false},
        {"a status other than 0 and 0x80", sector_with({{0x01, 0x0c, 2048, 100}}), false},
        {"a partition at sector 0", sector_with({{0, 0x0c, 0, 100}}), false},
        {"a partition of no sectors", sector_with({{0, 0x0c, 2048, 0}}), false},
        {"partitions that overlap", sector_with({{0, 0x0c, 2048, 4096}, {0, 0x83, 6000, 100}}), false},
        {"a partition inside another", sector_with({{0, 0x83, 6000, 100}, {0, 0x0c, 2048, 8192}}), false},
        {"partitions that touch", sector_with({{0, 0x0c, 2048, 4096}, {0, 0x83, 6144, 100}}), true},
        {"the largest partition", sector_with({{0, 0x83, 0xffffffff, 0xffffffff}}), true},
        {"one byte short", sound.substr(0, 511), false},
        {"nothing", "", false},
    };
    for (const row& r : table) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(check(r.sector), r.accepted);
    }
}
