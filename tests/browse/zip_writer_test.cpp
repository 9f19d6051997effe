// The zip writer without a server: tables of entries written to files and read
// back by Python's zipfile and `unzip -t` against the same files on disk; the
// exact length told in advance; sizes other than the promised ones refused; and
// zip64 where the count or a size needs it (70,000 entries; an entry of 4 GiB
// and one byte of zeros, written as a sparse file).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include <zlib.h>

#include "browse/zip_writer.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_check.h"

using namespace test_support;
using browse::zip_entry;
using browse::zip_writer;

namespace {

// Writes what the writer hands on to a file; runs of zeros of a whole piece
// become a hole, so that a zip of a large zero-filled entry stays small on disk.
class file_sink {
public:
    explicit file_sink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~file_sink() { close(); }
    bool operator()(std::string_view bytes)
    {
        if (bytes.size() >= 65536 && bytes.find_first_not_of('\0') == std::string_view::npos)
            return std::fseek(file_, static_cast<long>(bytes.size()), SEEK_CUR) == 0;
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    void close()
    {
        if (file_)
            std::fclose(file_);
        file_ = nullptr;
    }

private:
    std::FILE* file_;
};

struct source_file {
    std::string name;
    std::string bytes;
    std::int64_t modified;
    bool size_known;
};

// Writes the files to `folder` (with their times) and their zip to `zip`; the
// bytes the writer handed on.
std::uint64_t write_zip(const std::vector<source_file>& files, const temp_folder& folder, const std::string& zip)
{
    std::vector<zip_entry> entries;
    for (const source_file& file : files) {
        const std::string path = folder.write_file(file.name, file.bytes);
        std::string when = "@";
        when += std::to_string(file.modified);
        run_process("/usr/bin/touch", {"-d", when, path});
        entries.push_back({file.name, file.size_known ? std::optional<std::uint64_t>(file.bytes.size()) : std::nullopt,
                           file.modified});
    }
    file_sink sink(zip);
    zip_writer writer(entries, [&sink](std::string_view bytes) { return sink(bytes); });
    // In another order than the entries', as a solid block may give them.
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const std::size_t at = (n * 7 + 3) % entries.size();
        EXPECT_TRUE(writer.begin(at));
        const std::string& bytes = files[at].bytes;
        for (std::size_t done = 0; done < bytes.size(); done += 5000)
            EXPECT_TRUE(writer.write(bytes.data() + done, std::min<std::size_t>(5000, bytes.size() - done)));
        EXPECT_TRUE(writer.end(true));
    }
    EXPECT_TRUE(writer.finish());
    sink.close();
    return writer.written();
}

std::uint64_t file_size(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const auto size = static_cast<std::uint64_t>(std::ftell(file));
    std::fclose(file);
    return size;
}

std::vector<source_file> table(bool all_sizes_known)
{
    std::mt19937 random(23);
    std::string noise(200000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    return {
        {"plain.txt", "hello\n", 1614834367, true},
        {"a/b/\xc3\xa9t\xc3\xa9 \xe2\x80\x93 \xc3\xbc" "n\xc3\xaf" "code.bin", noise, 1700000001, all_sizes_known},
        {"a/empty", "", 1600000000, true},
        {"old/1975.txt", "before DOS times\n", 157766400, all_sizes_known},
        {"old/1960.txt", "before 1970\n", -315619200, true},
        {"a/b/c/deep.txt", std::string(70000, 'x'), 2000000000, all_sizes_known},
    };
}

}  // namespace

TEST(ZipWriter, TablesOfEntriesReadBackAsTheFilesTheyCameFrom)
{
    for (const bool known : {true, false}) {
        SCOPED_TRACE(known ? "every size known" : "some sizes unknown");
        temp_folder folder, out;
        const std::vector<source_file> files = table(known);
        const std::string zip = out.path() + "t.zip";
        const std::uint64_t written = write_zip(files, folder, zip);
        EXPECT_EQ(written, file_size(zip));
        std::vector<zip_entry> entries;
        for (const source_file& file : files)
            entries.push_back({file.name, file.size_known ? std::optional<std::uint64_t>(file.bytes.size()) : std::nullopt,
                               file.modified});
        const std::optional<std::uint64_t> length = browse::zip_length(entries);
        EXPECT_EQ(length.has_value(), known);
        if (length) {
            EXPECT_EQ(*length, written);
        }
        EXPECT_EQ(zip_differences(zip, folder.path()), "");
    }
}

TEST(ZipWriter, AnEntryOfAnotherSizeThanPromisedIsRefused)
{
    const std::vector<zip_entry> entries{{"ten", 10, 0}, {"any", std::nullopt, 0}};
    std::string out;
    zip_writer writer(entries, [&out](std::string_view bytes) {
        out.append(bytes);
        return true;
    });
    ASSERT_TRUE(writer.begin(0));
    ASSERT_TRUE(writer.write("123456789", 9));
    EXPECT_FALSE(writer.end(true));
    ASSERT_TRUE(writer.begin(1));
    ASSERT_TRUE(writer.write("123456789", 9));
    EXPECT_TRUE(writer.end(true));  // no size was promised for it

    // Where nobody takes the bytes any more, the writer says so.
    zip_writer refused(entries, [](std::string_view) { return false; });
    const std::string big(100000, 'b');
    EXPECT_TRUE(refused.begin(1));  // gathered, not yet handed on
    EXPECT_FALSE(refused.write(big.data(), big.size()));
}

TEST(ZipWriter, Zip64WhereTheCountOrASizeNeedsIt)
{
    temp_folder out;
    const char* const read_back = R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
infos = z.infolist()
print(len(infos), infos[0].filename, infos[-1].filename, infos[0].file_size, '%08x' % infos[0].CRC, infos[-1].header_offset)
if len(infos) == 2:
    with z.open(infos[0]) as f:
        print(f.read(1 << 20).count(b'\0'), z.read(infos[1]))
)";
    {
        SCOPED_TRACE("70,000 entries");
        std::vector<zip_entry> entries;
        for (int n = 0; n < 70000; ++n)
            entries.push_back({std::string("f/").append(std::to_string(n)), 1, n});
        const std::string zip = out.path() + "many.zip";
        file_sink sink(zip);
        zip_writer writer(entries, [&sink](std::string_view bytes) { return sink(bytes); });
        for (std::size_t at = 0; at < entries.size(); ++at) {
            writer.begin(at);
            writer.write("z", 1);
            EXPECT_TRUE(writer.end(true));
        }
        EXPECT_TRUE(writer.finish());
        sink.close();
        EXPECT_EQ(writer.written(), file_size(zip));
        EXPECT_EQ(browse::zip_length(entries), writer.written());
        const process_result read = run_process("/usr/bin/python3", {"-c", read_back, zip});
        EXPECT_EQ(read.out.substr(0, read.out.find(" 1 ")), "70000 f/0 f/69999") << read.err;
        EXPECT_EQ(run_process("/usr/bin/unzip", {"-tqq", zip}).exit_status, 0);
    }
    {
        SCOPED_TRACE("an entry of 4 GiB and a byte");
        const std::uint64_t big = (std::uint64_t{1} << 32) + 1;
        const std::vector<zip_entry> entries{{"zeros", big, 1700000000}, {"after", 5, 1700000000}};
        const std::string zip = out.path() + "big.zip";
        file_sink sink(zip);
        zip_writer writer(entries, [&sink](std::string_view bytes) { return sink(bytes); });
        const std::string zeros(1 << 20, '\0');
        ASSERT_TRUE(writer.begin(0));
        for (std::uint64_t done = 0; done < big;) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), big - done));
            ASSERT_TRUE(writer.write(zeros.data(), piece));
            done += piece;
        }
        ASSERT_TRUE(writer.end(true));
        ASSERT_TRUE(writer.begin(1));
        ASSERT_TRUE(writer.write("after", 5));
        ASSERT_TRUE(writer.end(true));
        ASSERT_TRUE(writer.finish());
        sink.close();
        EXPECT_EQ(writer.written(), file_size(zip));
        EXPECT_EQ(browse::zip_length(entries), writer.written());
        // The CRC of the zeros, from that of a piece, without the writer's way.
        const uLong piece_crc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
        uLong expected = crc32(0, nullptr, 0);
        for (int n = 0; n < 4096; ++n)
            expected = crc32_combine(expected, piece_crc, static_cast<z_off_t>(zeros.size()));
        expected = crc32_combine(expected, crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), 1), 1);
        char crc_text[16];
        std::snprintf(crc_text, sizeof crc_text, "%08lx", expected);
        const process_result read = run_process("/usr/bin/python3", {"-c", read_back, zip});
        const std::string after_offset = std::to_string(30 + 5 + 9 + 20 + big + 24);
        std::string expected_out = "2 zeros after ";
        expected_out += std::to_string(big);
        expected_out += ' ';
        expected_out += crc_text;
        expected_out += ' ';
        expected_out += after_offset;
        expected_out += '\n';
        expected_out += std::to_string(1 << 20);
        expected_out += " b'after'\n";
        EXPECT_EQ(read.out, expected_out) << read.err;
    }
}
