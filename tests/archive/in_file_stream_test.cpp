// The input file stream against the file's bytes: a script of seeks and reads
// of every kind (small ones served from the read-ahead buffer, ones across its
// end, large ones that pass it by, past the end, from the end, before the
// start) gives what the file holds and the positions a plain file gives.
#include "archive/in_file_stream.h"

#include "archive/string_convert.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct step {
    bool seek;          // else a read
    Int64 offset;       // a seek's distance, or a read's size
    UInt32 origin = 0;  // a seek's
};

}  // namespace

TEST(InFileStream, SeeksAndReadsOfEveryKindGiveTheFilesBytesAndPositions)
{
    test_support::temp_folder folder;
    std::string bytes(3 * CInFileStream::read_ahead + 1234, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::string path = folder.write_file("data.bin", bytes);
    const Int64 size = static_cast<Int64>(bytes.size());
    const Int64 ahead = CInFileStream::read_ahead;

    const std::vector<step> script = {
        {false, 4},           {false, 26},           {false, 9},       {true, 100, 1},    {false, 11},
        {true, -50, 1},       {false, 30},           {true, ahead - 5, 0}, {false, 20},  // across the buffer's end
        {false, ahead},       {false, 3 * ahead},    {false, 7},           // large, then at the end
        {true, 10, 0},        {false, 2 * ahead + 9}, {true, -100, 2},      {false, 500},  // from the end
        {true, size + 10, 0}, {false, 16},                                  // past the end: nothing
        {true, 5, 0},         {true, -6, 1},         {true, -1, 0},         // before the start: refused, stays
        {false, 8},           {true, 0, 3},          {false, 8},            // an unknown origin: refused
        {true, 3, 0},         {true, 0, 1},          {false, 1},
    };
    CInFileStream* file = new CInFileStream;
    CMyComPtr<IInStream> stream(file);
    ASSERT_TRUE(file->Open(MultiByteToUnicodeString(AString(path.c_str()))));
    Int64 position = 0;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const step& s = script[i];
        if (s.seek) {
            const Int64 base = s.origin == 0 ? 0 : s.origin == 1 ? position : size;
            const bool valid = s.origin <= 2 && base + s.offset >= 0;
            UInt64 reached = 12345;
            const HRESULT result = stream->Seek(s.offset, s.origin, &reached);
            EXPECT_EQ(result == S_OK, valid) << "step " << i;
            if (valid) {
                position = base + s.offset;
                EXPECT_EQ(reached, static_cast<UInt64>(position)) << "step " << i;
            }
            continue;
        }
        std::string got(static_cast<std::size_t>(s.offset), '\0');
        UInt32 read = 0;
        ASSERT_EQ(stream->Read(got.data(), static_cast<UInt32>(s.offset), &read), S_OK) << "step " << i;
        // A read may give less than asked (as a file's does), never more, and
        // gives nothing only at the end.
        const Int64 left = std::max<Int64>(0, size - position);
        EXPECT_LE(read, std::min<Int64>(s.offset, left)) << "step " << i;
        EXPECT_EQ(read == 0, left == 0) << "step " << i;
        got.resize(read);
        EXPECT_EQ(got, bytes.substr(static_cast<std::size_t>(std::min(position, size)), read)) << "step " << i;
        position += read;
    }
    UInt64 length = 0;
    EXPECT_EQ(file->GetSize(&length), S_OK);
    EXPECT_EQ(length, bytes.size());
}
