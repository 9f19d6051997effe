// The order in which formats are offered an archive, as a pure function and as
// the handlers of a test plug-in see it.
#include "archive/signature_order.h"

#include "archive/in_file_stream.h"
#include "archive/open_archive.h"
#include "archive/open_callback.h"
#include "archive/string_convert.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::temp_folder;

namespace {

struct format_row {
    const wchar_t* name;
    std::string signature;
    unsigned offset = 0;
    std::string second_signature = "";
};

CObjectVector<CArcInfoEx> make_formats(const std::vector<format_row>& rows)
{
    CObjectVector<CArcInfoEx> formats;
    for (const format_row& row : rows) {
        CArcInfoEx& format = formats.AddNew();
        format.Name = row.name;
        format.SignatureOffset = row.offset;
        for (const std::string& bytes : {row.signature, row.second_signature}) {
            if (bytes.empty())
                continue;
            CByteBuffer& signature = format.Signatures.AddNew();
            signature.SetCapacity(bytes.size());
            std::memcpy(signature.Items(), bytes.data(), bytes.size());
        }
    }
    return formats;
}

std::vector<int> order_for(const std::vector<format_row>& rows, const std::string& data, bool zip_ends_file)
{
    const CObjectVector<CArcInfoEx> formats = make_formats(rows);
    const CRecordVector<int> order = OrderFormatsBySignature(
        formats, reinterpret_cast<const unsigned char*>(data.data()), data.size(), zip_ends_file);
    std::vector<int> result;
    for (int i = 0; i < order.Size(); ++i)
        result.push_back(order[i]);
    return result;
}

std::string at(std::size_t position, const std::string& bytes, std::size_t total = 200)
{
    std::string data(total, '.');
    data.replace(position, bytes.size(), bytes);
    return data;
}

}  // namespace

TEST(SignatureOrder, OrdersByPositionThenReverseListOrderThenUnmatched)
{
    const struct {
        const char* what;
        std::vector<format_row> formats;
        std::string data;
        std::vector<int> order;
        bool zip_ends_file = false;
    } table[] = {
        {"earliest position first, whatever the list order",
         {{L"b", "BBB"}, {L"a", "AA"}},
         at(0, "AA") .replace(100, 3, "BBB"),
         {1, 0}},
        {"at one position the later format first",
         {{L"short", "PK"}, {L"long", "PK\x03\x04"}, {L"other", "PKZ"}},
         at(10, "PK\x03\x04"),
         {1, 0, 2}},
        {"no signature found: list order",
         {{L"a", "AA"}, {L"none", ""}, {L"b", "BB"}},
         at(0, "xyz"),
         {0, 1, 2}},
        {"a one-byte signature never matches",
         {{L"one", "x"}, {L"two", ".."}},
         at(0, "x"),
         {1, 0}},
        {"a signature cut off by the end of the data does not match",
         {{L"cut", "ENDX"}, {L"ok", "EN"}},
         std::string(10, '.') + "END",
         {1, 0}},
        {"a format matches once, at its first position",
         {{L"a", "AA"}, {L"b", "BB"}},
         at(0, "BB").replace(5, 2, "AA").replace(50, 2, "BB"),
         {1, 0}},
        {"iso directly before udf, both unmatched: swapped",
         {{L"x", "XX"}, {L"Iso", "CD001"}, {L"UDF", ""}, {L"y", ""}},
         at(0, "XX"),
         {0, 2, 1, 3}},
        {"iso matched before udf: swapped",
         {{L"udf", "NSR"}, {L"iso", "CD001"}},
         at(1, "CD001").replace(40, 3, "NSR"),
         {0, 1}},
        {"udf not directly after iso: kept",
         {{L"iso", ""}, {L"z", ""}, {L"udf", ""}},
         at(0, "...."),
         {0, 1, 2}},
        {"a signature at its offset wins over one found earlier inside the archive",
         {{L"7z", "7z"}, {L"tar", "ustar", 100}},
         at(40, "7z").replace(100, 5, "ustar"),
         {1, 0}},
        {"a signature away from its offset is found by scanning, at its position",
         {{L"7z", "7z"}, {L"tar", "ustar", 100}},
         at(40, "7z").replace(120, 5, "ustar"),
         {0, 1}},
        {"formats at their offsets: nearer the start first",
         {{L"far", "FAR", 150}, {L"near", "NEAR", 3}, {L"zero", "ZZ"}},
         at(0, "ZZ").replace(3, 4, "NEAR").replace(150, 3, "FAR"),
         {2, 1, 0}},
        {"any of several signatures places a format, at the first that occurs",
         {{L"7z", "7z"}, {L"zip", "PK34", 0, "PK56"}},
         at(60, "7z").replace(20, 4, "PK56").replace(90, 4, "PK34"),
         {1, 0}},
        {"a second signature at the start",
         {{L"7z", "7z"}, {L"zip", "PK34", 0, "PK56"}},
         at(0, "PK56").replace(30, 2, "7z"),
         {1, 0}},
        {"zip whose end record ends the file goes before what scanning finds",
         {{L"7z", "7z"}, {L"zip", "PK34"}, {L"other", ""}},
         at(10, "7z").replace(150, 4, "PK34"),
         {1, 0, 2},
         true},
        {"after the formats at their offsets",
         {{L"zip", "PK34"}, {L"pe", "MZ"}, {L"7z", "7z"}},
         at(0, "MZ").replace(10, 2, "7z"),
         {1, 0, 2},
         true},
        {"and only once when its signature is at the start too",
         {{L"zip", "PK34"}, {L"7z", "7z"}},
         at(0, "PK34").replace(10, 2, "7z"),
         {0, 1},
         true},
    };
    for (const auto& row : table)
        EXPECT_EQ(order_for(row.formats, row.data, row.zip_ends_file), row.order) << row.what;
}

namespace {

const std::string plugin_dir = VORSEL_TEST_PLUGIN_DIR "/";

// Loads the formats test plug-in and opens files through its handlers, which log
// the name of each format asked to open.
class plugin_open : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::copy_file(plugin_dir + "test_plugin_formats.so", base_.path() + "7z.so");
        ASSERT_EQ(codecs_.LoadFromFolder(AString(base_.path().c_str())), S_OK);
        clear_log_ = reinterpret_cast<void (*)()>(codecs_.LibList[0].Lib.symbol("TestClearOpenLog"));
        read_log_ = reinterpret_cast<const char* (*)()>(codecs_.LibList[0].Lib.symbol("TestOpenLog"));
        ASSERT_NE(clear_log_, nullptr);
        ASSERT_NE(read_log_, nullptr);
    }

    HRESULT open(const std::string& content, std::string& log, int& format_index)
    {
        const std::string path = base_.write_file("archive.bin", content);
        CInFileStream* file = new CInFileStream;
        CMyComPtr<IInStream> stream(file);
        EXPECT_TRUE(file->Open(MultiByteToUnicodeString(AString(path.c_str()))));
        CMyComPtr<IArchiveOpenCallback> callback(new CArchiveOpenCallback(path, path, std::nullopt));
        CMyComPtr<IInArchive> archive;
        clear_log_();
        format_index = -1;
        const HRESULT result = OpenArchive(codecs_, stream, callback, archive, format_index);
        log = read_log_();
        EXPECT_EQ(result == S_OK, archive != nullptr);
        return result;
    }

    temp_folder base_;
    CCodecs codecs_;
    void (*clear_log_)() = nullptr;
    const char* (*read_log_)() = nullptr;
};

}  // namespace

// The plug-in's formats in list order: first (SIGA), tar (SIGB), iso, udf, accepting.
TEST_F(plugin_open, HandlersAreAskedInSignatureOrder)
{
    std::string log;
    int format_index;
    EXPECT_EQ(open("..SIGB....SIGA..", log, format_index), S_FALSE);
    EXPECT_EQ(log, "tar first udf iso accepting");
    EXPECT_EQ(open("SIGA", log, format_index), S_FALSE);
    EXPECT_EQ(log, "first tar udf iso accepting");
}

TEST(SignatureOrder, AZipEndRecordMustEndTheFile)
{
    const auto ends = [](const std::string& tail) {
        return EndsWithZipEndRecord(reinterpret_cast<const unsigned char*>(tail.data()), tail.size());
    };
    const std::string record = std::string("PK\x05\x06", 4) + std::string(16, '\0');
    EXPECT_TRUE(ends("data" + record + std::string(2, '\0')));
    EXPECT_TRUE(ends("data" + record + std::string("\x03\x00", 2) + "abc"));
    EXPECT_FALSE(ends("data" + record + std::string("\x03\x00", 2) + "ab")) << "comment cut short";
    EXPECT_FALSE(ends("data" + record + std::string(2, '\0') + "trailing")) << "bytes after the record";
    EXPECT_FALSE(ends(record.substr(0, 21))) << "too short";
    EXPECT_FALSE(ends(std::string(100, '\0')));
}

TEST_F(plugin_open, TheFirstHandlerThatAcceptsWins)
{
    std::string log;
    int format_index;
    EXPECT_EQ(open("ACCEPT and more", log, format_index), S_OK);
    EXPECT_EQ(log, "first tar udf iso accepting");
    EXPECT_EQ(format_index, 4);
}

TEST_F(plugin_open, AnEmptyFileIsOfferedToNoFormat)
{
    std::string log;
    int format_index;
    EXPECT_EQ(open("", log, format_index), S_FALSE);
    EXPECT_EQ(log, "");
}

TEST_F(plugin_open, MoreThan255FormatsOfferNone)
{
    while (codecs_.FormatList.Size() <= 255)
        codecs_.FormatList.Add(codecs_.FormatList[4]);
    std::string log;
    int format_index;
    EXPECT_EQ(open("ACCEPT", log, format_index), S_FALSE);
    EXPECT_EQ(log, "");
}
