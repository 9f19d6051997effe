// The record of a handler's reads: served back only where every byte asked
// for was recorded, across its deflated pieces, and read back from its bytes
// only when they are whole.
#include "archive/recorded_reads.h"

#include "tests/support/known_bytes.h"

#include <gtest/gtest.h>

namespace {

// Headers of 512 bytes every 2000 bytes, as a tar handler reads them, over
// more than one deflated piece; two of them side by side make one region.
archive::recorded_reads tar_like_record(const std::string& decoded)
{
    archive::recorded_reads record;
    for (std::size_t offset = 0; offset + 1024 <= decoded.size(); offset += 2000)
        record.add(offset, reinterpret_cast<const unsigned char*>(decoded.data()) + offset, 512);
    record.add(decoded.size() - 1024, reinterpret_cast<const unsigned char*>(decoded.data()) + decoded.size() - 1024,
               512);
    record.add(decoded.size() - 512, reinterpret_cast<const unsigned char*>(decoded.data()) + decoded.size() - 512,
               512);
    record.add(0, reinterpret_cast<const unsigned char*>(decoded.data()), 512);  // behind: ignored
    record.finish();
    return record;
}

std::string copied(const archive::recorded_reads& record, std::uint64_t offset, std::size_t size, bool& found)
{
    archive::recorded_reads::cursor cursor;
    std::string bytes(size, '\0');
    found = record.copy(offset, size, reinterpret_cast<unsigned char*>(bytes.data()), cursor);
    return bytes;
}

TEST(RecordedReads, ServesOnlyWhatWasRecorded)
{
    const std::string decoded = test_support::known_bytes(20'000'000, 3);
    const archive::recorded_reads record = tar_like_record(decoded);
    EXPECT_GT(record.recorded_size(), 2u << 20) << "more than two deflated pieces";
    EXPECT_LT(record.kept_size(), record.recorded_size());
    struct ask {
        std::uint64_t offset;
        std::size_t size;
        bool found;
    };
    const ask table[] = {
        {0, 512, true},
        {2000, 512, true},
        {2100, 100, true},           // inside a header
        {2000, 513, false},          // one byte past it
        {1999, 2, false},            // one byte before it
        {1000, 10, false},           // in an item's data
        {decoded.size() - 1024, 1024, true},  // two reads side by side
        {decoded.size() - 1, 1, true},
        {decoded.size(), 1, false},
        {19'998'000, 512, true},     // in the last piece
    };
    for (const ask& a : table) {
        SCOPED_TRACE(a.offset);
        bool found = false;
        const std::string bytes = copied(record, a.offset, a.size, found);
        EXPECT_EQ(found, a.found);
        if (a.found) {
            EXPECT_TRUE(bytes == decoded.substr(a.offset, a.size));
        }
    }
}

TEST(RecordedReads, ReadsBackFromItsBytesOnlyWhenWhole)
{
    const std::string decoded = test_support::known_bytes(6'000'000, 4);
    const archive::recorded_reads record = tar_like_record(decoded);
    const std::string bytes = record.to_bytes();
    archive::recorded_reads again;
    ASSERT_TRUE(again.from_bytes(bytes));
    bool found = false;
    EXPECT_TRUE(copied(again, 5'998'000, 512, found) == decoded.substr(5'998'000, 512));
    EXPECT_TRUE(found);
    EXPECT_EQ(again.to_bytes(), bytes);
    // Every cut, and bytes that claim more than they hold.
    for (std::size_t size = 0; size < bytes.size(); size += 1 + size / 50) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(again.from_bytes(bytes.substr(0, size)));
        EXPECT_FALSE(again.finished());
    }
    std::string longer = bytes;
    longer[0] = '\x7f';  // a count of regions beyond the bytes
    EXPECT_FALSE(again.from_bytes(longer));
    EXPECT_FALSE(again.from_bytes(bytes + "x"));
}

}  // namespace
