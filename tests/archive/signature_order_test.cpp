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
};

CObjectVector<CArcInfoEx> make_formats(const std::vector<format_row>& rows)
{
    CObjectVector<CArcInfoEx> formats;
    for (const format_row& row : rows) {
        CArcInfoEx& format = formats.AddNew();
        format.Name = row.name;
        format.StartSignature.SetCapacity(row.signature.size());
        if (!row.signature.empty())
            std::memcpy(format.StartSignature.Items(), row.signature.data(), row.signature.size());
    }
    return formats;
}

std::vector<int> order_for(const std::vector<format_row>& rows, const std::string& data)
{
    const CObjectVector<CArcInfoEx> formats = make_formats(rows);
    const CRecordVector<int> order =
        OrderFormatsBySignature(formats, reinterpret_cast<const unsigned char*>(data.data()), data.size());
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
    };
    for (const auto& row : table)
        EXPECT_EQ(order_for(row.formats, row.data), row.order) << row.what;
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
