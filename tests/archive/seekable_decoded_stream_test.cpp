// Seeking in the decoded bytes of compressed files, checked byte for byte
// against a plain copy: at random offsets, just before, at and after each
// access point, and up to the last byte.
#include "archive/gzip_seek_points.h"
#include "archive/seekable_decoded_stream.h"
#include "archive/xz_blocks.h"
#include "archive/zstd_frames.h"
#include "tests/support/known_bytes.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <random>

using test_support::known_bytes;
using test_support::temp_folder;

namespace {

void run_shell(const std::string& folder, const std::string& command)
{
    test_support::process_options options;
    options.working_directory = folder;
    const test_support::process_result result = test_support::run_process("/bin/sh", {"-c", command}, options);
    ASSERT_EQ(result.exit_status, 0) << command << "\n" << result.err;
}

// Reads `size` bytes at `offset` as a handler does: a seek, then reads until
// the stream gives no more.
std::string read_at(IInStream& stream, std::uint64_t offset, std::size_t size)
{
    UInt64 position = 0;
    EXPECT_EQ(stream.Seek(static_cast<Int64>(offset), platform::seek_from_start, &position), S_OK);
    EXPECT_EQ(position, offset);
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        UInt32 processed = 0;
        EXPECT_EQ(stream.Read(bytes.data() + got, static_cast<UInt32>(size - got), &processed), S_OK);
        if (processed == 0)
            break;
        got += processed;
    }
    bytes.resize(got);
    return bytes;
}

class GzipSeekPoints : public ::testing::Test {
protected:
    // 6 MB of text and noise, compressed by `command` (plain.bin -> packed.gz).
    void make(const std::string& command)
    {
        plain_ = known_bytes(6'000'000, 24);
        folder_.write_file("plain.bin", plain_);
        run_shell(folder_.path(), command);
        path_ = folder_.path() + "packed.gz";
    }

    CMyComPtr<IInStream> stream_over(const std::shared_ptr<archive::gzip_seek_points>& points)
    {
        return new CSeekableDecodedStream(std::make_unique<archive::gzip_reader>(path_, points));
    }

    // Builds the points in one pass of reads in pieces, as a tar handler reads.
    std::shared_ptr<archive::gzip_seek_points> build_points(std::uint64_t spacing)
    {
        auto points = std::make_shared<archive::gzip_seek_points>();
        points->spacing = spacing;
        CMyComPtr<IInStream> stream = stream_over(points);
        std::string whole;
        for (std::string piece; !(piece = read_at(*stream, whole.size(), 10240)).empty();)
            whole += piece;
        EXPECT_TRUE(whole == plain_) << "one pass gives the plain bytes";
        EXPECT_TRUE(points->complete);
        EXPECT_EQ(points->decoded_size, plain_.size());
        return points;
    }

    // Every kind of offset, each read by a fresh stream and by one that moves
    // on from the offset before.
    void check_seeks(const std::shared_ptr<archive::gzip_seek_points>& points)
    {
        ASSERT_GT(points->points.size(), 10u);
        std::vector<std::uint64_t> offsets = {0, 1, plain_.size() - 1, plain_.size() - 5000, plain_.size()};
        for (const archive::gzip_access_point& point : points->points) {
            EXPECT_LE(point.window.size(), archive::deflate_window_size);
            for (const std::uint64_t around : {point.output - 1, point.output, point.output + 1})
                offsets.push_back(around);
        }
        std::mt19937_64 random(7);
        for (int i = 0; i < 200; ++i)
            offsets.push_back(random() % plain_.size());
        std::shuffle(offsets.begin(), offsets.end(), random);
        CMyComPtr<IInStream> moving = stream_over(points);
        for (const std::uint64_t offset : offsets) {
            SCOPED_TRACE(offset);
            const std::string expected = plain_.substr(offset, 3000);
            ASSERT_TRUE(read_at(*moving, offset, 3000) == expected);
            CMyComPtr<IInStream> fresh = stream_over(points);
            ASSERT_TRUE(read_at(*fresh, offset, 3000) == expected);
        }
        UInt64 size = 0;
        EXPECT_EQ(stream_over(points)->Seek(0, platform::seek_from_end, &size), S_OK);
        EXPECT_EQ(size, plain_.size());
        EXPECT_EQ(read_at(*moving, plain_.size() + 10, 100), "") << "nothing past the end";
    }

    temp_folder folder_;
    std::string plain_;
    std::string path_;
};

TEST_F(GzipSeekPoints, OneMemberSeeksAnywhereAgainstThePlainCopy)
{
    make("gzip -6 -c plain.bin > packed.gz");
    EXPECT_TRUE(archive::starts_like_gzip(path_));
    const auto points = build_points(64 * 1024);
    // Points are at least the spacing apart, and the last is within reach of the end.
    for (std::size_t i = 1; i < points->points.size(); ++i)
        EXPECT_GE(points->points[i].output - points->points[i - 1].output, 64u * 1024);
    check_seeks(points);
}

TEST_F(GzipSeekPoints, SeveralMembersAndTrailingZerosDecodeAsOne)
{
    // Members of uneven sizes, as parallel compressors write, then padding.
    make("head -c 1000000 plain.bin | gzip -1 > packed.gz && tail -c +1000001 plain.bin | head -c 2500000 | "
         "gzip -9 >> packed.gz && tail -c +3500001 plain.bin | gzip >> packed.gz && head -c 512 /dev/zero >> packed.gz");
    check_seeks(build_points(64 * 1024));
}

TEST_F(GzipSeekPoints, ASizeAskedFirstDecodesOnceAndRecordsThePoints)
{
    make("gzip -c plain.bin > packed.gz");
    auto points = std::make_shared<archive::gzip_seek_points>();
    points->spacing = 100 * 1024;
    CMyComPtr<IInStream> stream = stream_over(points);
    UInt64 size = 0;
    ASSERT_EQ(stream->Seek(0, platform::seek_from_end, &size), S_OK);
    EXPECT_EQ(size, plain_.size());
    EXPECT_TRUE(points->complete);
    check_seeks(points);
}

TEST_F(GzipSeekPoints, DamagedAndCutStreamsFailInsteadOfGivingWrongBytes)
{
    make("gzip -c plain.bin > whole.gz && head -c 1500000 whole.gz > packed.gz");
    auto points = std::make_shared<archive::gzip_seek_points>();
    CMyComPtr<IInStream> cut = stream_over(points);
    std::string bytes(4'000'000, '\0');
    UInt32 processed = 0;
    EXPECT_EQ(cut->Read(bytes.data(), static_cast<UInt32>(bytes.size()), &processed), E_FAIL);
    EXPECT_GT(processed, 0u);
    EXPECT_TRUE(bytes.compare(0, processed, plain_, 0, processed) == 0) << "what comes before the cut is right";
    EXPECT_FALSE(points->complete);

    // A flipped byte in the middle: the data or its check fails.
    run_shell(folder_.path(), "cp whole.gz packed.gz && printf '\\377' | dd of=packed.gz bs=1 seek=800000 "
                              "conv=notrunc status=none");
    CMyComPtr<IInStream> flipped = stream_over(std::make_shared<archive::gzip_seek_points>());
    std::string all;
    HRESULT result = S_OK;
    for (;;) {
        std::string piece(1 << 20, '\0');
        result = flipped->Read(piece.data(), static_cast<UInt32>(piece.size()), &processed);
        all.append(piece, 0, processed);
        if (result != S_OK || processed == 0)
            break;
    }
    EXPECT_EQ(result, E_FAIL);
    EXPECT_FALSE(all == plain_);
    EXPECT_FALSE(archive::starts_like_gzip(folder_.path() + "plain.bin"));
}

// An xz file of several blocks (and of several streams, as files joined by
// cat are) seeks through its blocks: at random offsets and around each block's
// start, by fresh streams and by one that moves on.
TEST(XzBlocks, SeveralBlocksAndStreamsSeekAnywhereAgainstThePlainCopy)
{
    temp_folder folder;
    const std::string plain = known_bytes(6'000'000, 31);
    folder.write_file("plain.bin", plain);
    run_shell(folder.path(), "head -c 4000000 plain.bin | xz -T2 --block-size=300KiB -3 > packed.xz && "
                             "tail -c +4000001 plain.bin | xz --block-size=700KiB -1 >> packed.xz && "
                             "head -c 1000 plain.bin | xz > one-block.xz");
    const std::string path = folder.path() + "packed.xz";
    const std::optional<archive::xz_blocks> read = archive::read_xz_blocks(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->decoded_size, plain.size());
    ASSERT_GT(read->blocks.size(), 15u);
    EXPECT_EQ(archive::read_xz_blocks(folder.path() + "one-block.xz")->blocks.size(), 1u);
    EXPECT_FALSE(archive::read_xz_blocks(folder.path() + "plain.bin")) << "not an xz file";
    const auto blocks = std::make_shared<const archive::xz_blocks>(*read);
    // `ahead`: the reader decodes the next block on another thread.
    const auto stream_over = [&](bool ahead = false) {
        auto reader = std::make_unique<archive::xz_reader>(path, blocks);
        if (ahead)
            reader->read_ahead();
        return CMyComPtr<IInStream>(new CSeekableDecodedStream(std::move(reader)));
    };

    for (const bool ahead : {false, true}) {
        CMyComPtr<IInStream> whole = stream_over(ahead);
        std::string all;
        for (std::string piece; !(piece = read_at(*whole, all.size(), 100000)).empty();)
            all += piece;
        ASSERT_TRUE(all == plain) << "one pass gives the plain bytes: " << all.size() << (ahead ? " (ahead)" : "");
    }

    std::vector<std::uint64_t> offsets = {0, 1, plain.size() - 1, plain.size() - 5000};
    for (const archive::xz_block& block : blocks->blocks)
        for (const std::uint64_t around : {block.output - 1, block.output, block.output + 1})
            if (around < plain.size())
                offsets.push_back(around);
    std::mt19937_64 random(11);
    for (int i = 0; i < 100; ++i)
        offsets.push_back(random() % plain.size());
    std::shuffle(offsets.begin(), offsets.end(), random);
    CMyComPtr<IInStream> moving = stream_over();
    for (const std::uint64_t offset : offsets) {
        SCOPED_TRACE(offset);
        const std::string expected = plain.substr(offset, 3000);
        ASSERT_TRUE(read_at(*moving, offset, 3000) == expected);
        ASSERT_TRUE(read_at(*stream_over(), offset, 3000) == expected);
    }
    EXPECT_EQ(read_at(*moving, plain.size() + 10, 100), "") << "nothing past the end";

    // Reading ahead, forward as a tar handler skips what it does not list:
    // into the block decoded ahead, past it, and within it; then back.
    std::sort(offsets.begin(), offsets.end());
    CMyComPtr<IInStream> forward = stream_over(true);
    for (const std::uint64_t offset : offsets) {
        SCOPED_TRACE(offset);
        ASSERT_TRUE(read_at(*forward, offset, 3000) == plain.substr(offset, 3000));
    }
    ASSERT_TRUE(read_at(*forward, 12345, 3000) == plain.substr(12345, 3000)) << "back after reading ahead";

    // A flipped byte inside a block fails the read (at the latest at the
    // block's check) instead of giving the bytes as whole.
    run_shell(folder.path(), "printf '\\377' | dd of=packed.xz bs=1 seek=2000000 conv=notrunc status=none");
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "ahead" : "in turn");
        CMyComPtr<IInStream> flipped = stream_over(ahead);
        std::string damaged;
        HRESULT result = S_OK;
        for (;;) {
            std::string piece(1 << 20, '\0');
            UInt32 processed = 0;
            result = flipped->Read(piece.data(), static_cast<UInt32>(piece.size()), &processed);
            damaged.append(piece, 0, processed);
            if (result != S_OK || processed == 0)
                break;
        }
        EXPECT_EQ(result, E_FAIL);
        EXPECT_LT(damaged.size(), plain.size());
        EXPECT_TRUE(plain.compare(0, 1'900'000, damaged, 0, 1'900'000) == 0)
            << "the blocks before the damaged one are right";
    }
}

// Reads a stream from its start to its end in pieces of `piece` bytes; the
// result of the last read in `result`.
std::string read_all(IInStream& stream, std::size_t piece, HRESULT& result)
{
    std::string all;
    for (;;) {
        std::string bytes(piece, '\0');
        UInt32 processed = 0;
        result = stream.Read(bytes.data(), static_cast<UInt32>(bytes.size()), &processed);
        all.append(bytes, 0, processed);
        if (result != S_OK || processed == 0)
            return all;
    }
}

struct zstd_maker {
    const char* what;
    const char* command;  // plain.bin -> packed.zst
    bool sizes_recorded;  // every frame's header records its decoded size
};

// What parallel compressors write (pzstd: a skippable frame before each frame,
// no sizes), frames that record their sizes (files joined by cat, with a
// skippable frame between two), and both mixed.
const zstd_maker zstd_makers[] = {
    {"pzstd", "pzstd -q -p 2 -1 -c plain.bin > packed.zst", false},
    {"sizes recorded", "split -b 700000 plain.bin part. && for part in part.*; do zstd -q -c $part >> packed.zst; "
                       "if [ $part = part.ac ]; then printf 'P*M\\030\\004\\000\\000\\000skip' >> packed.zst; fi; done",
     true},
    {"mixed", "head -c 2000000 plain.bin | zstd -q -c > packed.zst && tail -c +2000001 plain.bin | head -c 1500000 "
              "> middle.bin && zstd -q -3 -c middle.bin >> packed.zst && tail -c +3500001 plain.bin | "
              "pzstd -q -p 2 -1 -c >> packed.zst",
     false},
};

// A zstd file of several frames seeks through its frames: at random offsets
// and around each frame's start, by fresh streams and by one that moves on,
// once its frames are placed (by their headers, or by the first reading).
TEST(ZstdFrames, SeveralFramesSeekAnywhereAgainstThePlainCopy)
{
    const std::string plain = known_bytes(6'000'000, 37);
    for (const zstd_maker& maker : zstd_makers) {
        SCOPED_TRACE(maker.what);
        temp_folder folder;
        folder.write_file("plain.bin", plain);
        run_shell(folder.path(), maker.command);
        const std::string path = folder.path() + "packed.zst";
        const std::optional<std::vector<archive::zstd_frame>> frames = archive::read_zstd_frames(path);
        ASSERT_TRUE(frames);
        ASSERT_GE(frames->size(), 3u);
        const auto stream_over = [&](const std::shared_ptr<archive::gzip_seek_points>& points) {
            return CMyComPtr<IInStream>(
                new CSeekableDecodedStream(std::make_unique<archive::zstd_reader>(path, points)));
        };

        // A first read in the middle decodes on to it, placing the frames it passes.
        auto points = archive::zstd_seek_points(*frames);
        EXPECT_EQ(points->complete, maker.sizes_recorded);
        ASSERT_TRUE(read_at(*stream_over(points), 4'500'000, 3000) == plain.substr(4'500'000, 3000));
        EXPECT_EQ(points->complete, maker.sizes_recorded) << "the end is not reached yet";
        // Reads in uneven pieces from the start give the plain bytes and place every frame.
        HRESULT result = S_OK;
        ASSERT_TRUE(read_all(*stream_over(points), 4093, result) == plain) << "one pass";
        EXPECT_EQ(result, S_OK);
        ASSERT_TRUE(points->complete);
        EXPECT_EQ(points->decoded_size, plain.size());
        ASSERT_GE(points->points.size() + 1, frames->size());
        if (maker.sizes_recorded) {
            EXPECT_EQ(points->points.size() + 1, frames->size());
        }
        // The same first reading with every other frame decoded on a second
        // thread gives the same bytes and places the frames at the same outputs
        // (the seeks below go through both sets of points).
        auto ahead_points = archive::zstd_seek_points(*frames);
        {
            auto reader = std::make_unique<archive::zstd_reader>(path, ahead_points);
            reader->read_ahead(std::make_shared<const std::vector<archive::zstd_frame>>(*frames));
            CMyComPtr<IInStream> ahead(new CSeekableDecodedStream(std::move(reader)));
            ASSERT_TRUE(read_all(*ahead, 4093, result) == plain) << "one pass, reading ahead";
            EXPECT_EQ(result, S_OK);
        }
        ASSERT_TRUE(ahead_points->complete);
        ASSERT_EQ(ahead_points->points.size(), points->points.size());
        for (std::size_t i = 0; i < points->points.size(); ++i)
            EXPECT_EQ(ahead_points->points[i].output, points->points[i].output) << i;

        std::vector<std::uint64_t> offsets = {0, 1, plain.size() - 1, plain.size() - 5000};
        for (const archive::gzip_access_point& point : points->points)
            for (const std::uint64_t around : {point.output - 1, point.output, point.output + 1})
                offsets.push_back(around);
        std::mt19937_64 random(13);
        for (int i = 0; i < 100; ++i)
            offsets.push_back(random() % plain.size());
        std::shuffle(offsets.begin(), offsets.end(), random);
        CMyComPtr<IInStream> moving = stream_over(points);
        for (const std::uint64_t offset : offsets) {
            SCOPED_TRACE(offset);
            const std::string expected = plain.substr(offset, 3000);
            ASSERT_TRUE(read_at(*moving, offset, 3000) == expected);
            ASSERT_TRUE(read_at(*stream_over(points), offset, 3000) == expected);
            ASSERT_TRUE(read_at(*stream_over(ahead_points), offset, 3000) == expected);
        }
        EXPECT_EQ(read_at(*moving, plain.size() + 10, 100), "") << "nothing past the end";
        UInt64 size = 0;
        EXPECT_EQ(stream_over(points)->Seek(0, platform::seek_from_end, &size), S_OK);
        EXPECT_EQ(size, plain.size());
    }
}

// One frame is no better than a copy; other files are not zstd files; and
// damaged or cut files fail the read instead of giving the bytes as whole.
TEST(ZstdFrames, OneFrameOtherFilesAndDamageAreRefused)
{
    temp_folder folder;
    const std::string plain = known_bytes(6'000'000, 41);
    folder.write_file("plain.bin", plain);
    run_shell(folder.path(), "zstd -q -c plain.bin > one.zst && zstd -q -T2 -c plain.bin > threads.zst && "
                             "gzip -c plain.bin > plain.gz && pzstd -q -p 2 -1 -c plain.bin > packed.zst && "
                             "head -c $(($(stat -c %s packed.zst) / 2)) packed.zst > cut.zst && : > empty.zst");
    EXPECT_EQ(archive::read_zstd_frames(folder.path() + "one.zst")->size(), 1u);
    EXPECT_EQ(archive::read_zstd_frames(folder.path() + "threads.zst")->size(), 1u);
    EXPECT_TRUE(archive::read_zstd_frames(folder.path() + "empty.zst")->empty());
    for (const char* name : {"plain.bin", "plain.gz", "cut.zst", "absent.zst"})
        EXPECT_FALSE(archive::read_zstd_frames(folder.path() + name)) << name;

    const std::string path = folder.path() + "packed.zst";
    const auto frames = archive::read_zstd_frames(path);
    ASSERT_TRUE(frames);
    ASSERT_GE(frames->size(), 3u);
    EXPECT_EQ(archive::read_zstd_frames(path, 2)->size(), 2u) << "the walk stops after two";
    const auto points = archive::zstd_seek_points(*frames);
    HRESULT result = S_OK;
    const auto walked = std::make_shared<const std::vector<archive::zstd_frame>>(*frames);
    const auto read_whole = [&](const std::string& file, const std::shared_ptr<archive::gzip_seek_points>& table,
                                bool ahead = false) {
        auto reader = std::make_unique<archive::zstd_reader>(folder.path() + file, table);
        if (ahead)
            reader->read_ahead(walked);
        CMyComPtr<IInStream> stream = new CSeekableDecodedStream(std::move(reader));
        return read_all(*stream, 1 << 20, result);
    };
    ASSERT_TRUE(read_whole("packed.zst", points) == plain);
    ASSERT_TRUE(points->complete);

    // Cut inside a frame: what comes before is right, then the read fails.
    const std::string cut = read_whole("cut.zst", archive::zstd_seek_points({{0, std::nullopt}}));
    EXPECT_EQ(result, E_FAIL);
    EXPECT_LT(cut.size(), plain.size());
    EXPECT_TRUE(plain.compare(0, cut.size(), cut) == 0);

    // A flipped byte inside the last frame fails the read, at the latest at
    // the frame's checksum; the frames before it are right.
    const std::uint64_t flipped = frames->back().input + 5000;
    run_shell(folder.path(), "printf '\\377' | dd of=packed.zst bs=1 seek=" + std::to_string(flipped) +
                                 " conv=notrunc status=none");
    const std::uint64_t sound = points->points.back().output;  // the decoded bytes before the last frame
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "reading ahead" : "one thread");
        const std::string damaged = read_whole("packed.zst", points, ahead);
        EXPECT_EQ(result, E_FAIL);
        EXPECT_LT(damaged.size(), plain.size());
        EXPECT_TRUE(plain.compare(0, sound, damaged, 0, sound) == 0);
    }
}

}  // namespace

