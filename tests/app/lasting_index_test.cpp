// The lasting index of a gzip tarball through the real executable: kept in the
// cache folder on the first start and used on the next, rebuilt when the
// archive changed or the index is damaged, sound when two programs write it at
// once, and kept under its bound.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/archive_tools.h"
#include "tests/support/run_process.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"

using namespace test_support;

namespace {

const char used_index[] = "opened the inner archive tree.tar with the seek points of its lasting index\n";
const char built_index[] = "opened the inner archive tree.tar\n";

class LastingIndex : public ::testing::Test {
protected:
    // A tar of 14 MB (several access points) whose middle and last items are
    // checked, gzipped as tree.tar.gz.
    void SetUp() override { make_tarball("tree.tar.gz", 1); }

    // With `noise`, the items are random bytes, which deflate stores: the
    // size of the tarball is then the same for every seed.
    void make_tarball(const std::string& name, std::uint32_t seed, bool noise = false,
                      const std::string& compressor = "gzip -n -6")
    {
        const std::string tree = "tree" + std::to_string(seed) + "/";
        std::mt19937 random(seed);
        for (int i = 0; i < 7; ++i) {
            std::string bytes = known_bytes(2'000'000, seed * 10 + i);
            if (noise)
                for (char& byte : bytes)
                    byte = static_cast<char>(random());
            work_.write_file(tree + "tree/part" + std::to_string(i) + ".bin", bytes);
        }
        work_.write_file(tree + "tree/zz_last.txt", "the last item " + std::to_string(seed) + "\n");
        run_in(work_.path() + tree, "tar --mtime=@1700000000 --owner=0 --group=0 --numeric-owner -cf - tree | " +
                                        compressor + " > ../" + name);
        trees_[name] = work_.path() + tree;
    }

    std::string cache_folder() const { return work_.path() + "cache/vorsel/"; }

    std::vector<std::string> index_files() const
    {
        std::vector<std::string> names;
        if (std::filesystem::exists(cache_folder()))
            for (const auto& entry : std::filesystem::directory_iterator(cache_folder()))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Serves `archive`, checks its middle and last items (asked for as soon as
    // it listens), keeps its listings, and returns what the console said by
    // the time it listened.
    std::string serve_and_check(const std::string& archive, const std::string& bound = "",
                                const std::string& code_page = "")
    {
        const std::string tree = trees_[archive];
        unsigned short port = 0;
        std::vector<std::string> environment = {"XDG_CACHE_HOME=" + work_.path() + "cache"};
        if (!bound.empty())
            environment.push_back("VORSEL_INDEX_CACHE=" + bound);
        else
            environment.push_back("VORSEL_INDEX_CACHE=1073741824");
        if (!code_page.empty())
            environment.push_back("VORSEL_CODE_PAGE=" + code_page);
        auto program = start_server(VORSEL_EXECUTABLE, work_.path(), archive, port, environment);
        EXPECT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
        EXPECT_TRUE(reply_body(http_get(port, "/ArchiveContent/tree/part3.bin")) == read_file(tree + "tree/part3.bin"));
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/tree/zz_last.txt")), read_file(tree + "tree/zz_last.txt"));
        listing_ = reply_body(http_get(port, "/ArchiveContent"));
        details_ = reply_body(http_get(port, "/ArchiveContent?details"));
        return program->output();
    }

    temp_folder work_;
    std::map<std::string, std::string> trees_;  // the folder each tarball was made from
    std::string listing_, details_;  // of the last serve_and_check()
};

// The second start lists from the index and opens the tar handler while the
// listing is served: the listings are the first start's, and items asked for
// at once wait for the handler rather than fail.
TEST_F(LastingIndex, TheSecondStartUsesTheIndexOfTheFirst)
{
    EXPECT_NE(serve_and_check("tree.tar.gz").find(built_index), std::string::npos);
    const std::string first_listing = listing_, first_details = details_;
    EXPECT_NE(first_listing.find("zz_last.txt"), std::string::npos);
    ASSERT_EQ(index_files().size(), 1u);
    const auto size = std::filesystem::file_size(cache_folder() + index_files()[0]);
    // Three points with their windows, the headers the tar handler read and the listing.
    EXPECT_GT(size, 3u * 1024);
    EXPECT_LT(size, 200u * 1024);
    EXPECT_NE(serve_and_check("tree.tar.gz").find(used_index), std::string::npos);
    EXPECT_EQ(index_files().size(), 1u);
    EXPECT_EQ(listing_, first_listing);
    EXPECT_EQ(details_, first_details);
}

// Names that are not UTF-8 are kept in the index as decoded: a start with
// another code page lists them in that one, not as the index has them.
TEST_F(LastingIndex, AListingOfAnotherCodePageIsNotTakenFromTheIndex)
{
    const std::string tree = trees_["tree.tar.gz"];
    work_.write_file("tree1/tree/\xe4\xe0.txt", "named in a code page\n");
    run_in(tree, "tar --mtime=@1700000000 --owner=0 --group=0 --numeric-owner -cf - tree | gzip -n > ../named.tar.gz");
    trees_["named.tar.gz"] = tree;
    serve_and_check("named.tar.gz", "", "1251");
    EXPECT_NE(listing_.find("\xd0\xb4\xd0\xb0.txt"), std::string::npos) << listing_;  // "да" in 1251
    EXPECT_NE(serve_and_check("named.tar.gz", "", "1251").find("with the seek points of its lasting index"),
              std::string::npos);
    EXPECT_NE(listing_.find("\xd0\xb4\xd0\xb0.txt"), std::string::npos) << listing_;
    EXPECT_NE(serve_and_check("named.tar.gz", "", "866").find("with the seek points of its lasting index"),
              std::string::npos);
    EXPECT_NE(listing_.find("\xd1\x84\xd1\x80.txt"), std::string::npos) << listing_;  // "фр" in 866
}

// An xz tarball of several blocks keeps the tar handler's header reads (its
// blocks are in the file itself): the second start reads no block to list it.
TEST_F(LastingIndex, AnXzTarballOfSeveralBlocksIsIndexedToo)
{
    make_tarball("tree.tar.xz", 3, false, "xz -T2 --block-size=1MiB -1");
    EXPECT_NE(serve_and_check("tree.tar.xz").find(built_index), std::string::npos);
    ASSERT_EQ(index_files().size(), 1u);
    EXPECT_NE(serve_and_check("tree.tar.xz").find(used_index), std::string::npos);
    EXPECT_EQ(index_files().size(), 1u);
}

// A zstd tarball of several frames that do not record their sizes keeps the
// frames' places found on the first reading: the second start decodes nothing to list it.
TEST_F(LastingIndex, AZstdTarballOfSeveralFramesIsIndexedToo)
{
    make_tarball("tree.tar.zst", 3, false, "pzstd -q -p 2 -1");
    EXPECT_NE(serve_and_check("tree.tar.zst").find(built_index), std::string::npos);
    ASSERT_EQ(index_files().size(), 1u);
    EXPECT_NE(serve_and_check("tree.tar.zst").find(used_index), std::string::npos);
    EXPECT_EQ(index_files().size(), 1u);
}

TEST_F(LastingIndex, NoIndexIsKeptWhenTurnedOff)
{
    EXPECT_NE(serve_and_check("tree.tar.gz", "0").find(built_index), std::string::npos);
    EXPECT_NE(serve_and_check("tree.tar.gz", "0").find(built_index), std::string::npos);
    EXPECT_TRUE(index_files().empty());
}

TEST_F(LastingIndex, AnArchiveRewrittenWithTheSameSizeAndTimeIsIndexedAgain)
{
    make_tarball("tree.tar.gz", 4, true);
    run_in(work_.path(), "head -c 100 /dev/zero >> tree.tar.gz");
    serve_and_check("tree.tar.gz");
    // Other bytes of the same size (zeros after the gzip stream make up the
    // few bytes of difference), with the old modification time.
    make_tarball("other.tar.gz", 2, true);
    const auto size = std::filesystem::file_size(work_.path() + "tree.tar.gz");
    ASSERT_LE(std::filesystem::file_size(work_.path() + "other.tar.gz"), size);
    std::filesystem::resize_file(work_.path() + "other.tar.gz", size);
    run_in(work_.path(), "touch -r tree.tar.gz other.tar.gz && mv other.tar.gz tree.tar.gz");
    trees_["tree.tar.gz"] = trees_["other.tar.gz"];
    EXPECT_NE(serve_and_check("tree.tar.gz").find(built_index), std::string::npos);
    EXPECT_NE(serve_and_check("tree.tar.gz").find(used_index), std::string::npos);
}

TEST_F(LastingIndex, ADamagedOrForeignIndexIsIgnoredAndRebuilt)
{
    make_tarball("b.tar.gz", 2);
    serve_and_check("b.tar.gz");
    ASSERT_EQ(index_files().size(), 1u);
    const std::string foreign = read_file(cache_folder() + index_files()[0]);
    std::filesystem::remove_all(work_.path() + "cache");
    serve_and_check("tree.tar.gz");
    ASSERT_EQ(index_files().size(), 1u);
    const std::string index = cache_folder() + index_files()[0];
    const std::string sound = read_file(index);
    struct damage {
        const char* what;
        std::string bytes;
    };
    std::string flipped = sound;
    flipped[flipped.size() / 2] ^= 0x40;
    const damage table[] = {
        {"cut in half", sound.substr(0, sound.size() / 2)},
        {"one byte flipped", flipped},
        {"empty", ""},
        {"another archive's", foreign},
        {"not an index", known_bytes(sound.size(), 5)},
    };
    for (const damage& d : table) {
        SCOPED_TRACE(d.what);
        {
            std::ofstream(index, std::ios::binary | std::ios::trunc) << d.bytes;
        }
        EXPECT_NE(serve_and_check("tree.tar.gz").find(built_index), std::string::npos);
        EXPECT_TRUE(read_file(index) == sound) << "rebuilt as it was";
    }
}

TEST_F(LastingIndex, TwoProgramsAtOnceLeaveOneSoundIndex)
{
    const std::vector<std::string> environment = {"XDG_CACHE_HOME=" + work_.path() + "cache",
                                                  "VORSEL_INDEX_CACHE=1073741824", "BROWSER=/bin/true"};
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove_all(work_.path() + "cache");
        process_options options;
        options.working_directory = work_.path();
        options.environment = environment;
        running_program first(VORSEL_EXECUTABLE, {"tree.tar.gz"}, options);
        running_program second(VORSEL_EXECUTABLE, {"tree.tar.gz"}, options);
        EXPECT_TRUE(first.wait_for_output("Press Ctrl+C to stop.\n")) << first.output();
        EXPECT_TRUE(second.wait_for_output("Press Ctrl+C to stop.\n")) << second.output();
        first.signal(SIGINT);
        second.signal(SIGINT);
        EXPECT_EQ(first.wait_for_exit(), 0);
        EXPECT_EQ(second.wait_for_exit(), 0);
        EXPECT_EQ(index_files().size(), 1u) << "no temporary file is left";
        EXPECT_NE(serve_and_check("tree.tar.gz").find(used_index), std::string::npos);
    }
}

TEST_F(LastingIndex, TheLeastRecentlyUsedIndexesGoBeyondTheBound)
{
    make_tarball("b.tar.gz", 2);
    make_tarball("c.tar.gz", 3);
    serve_and_check("tree.tar.gz");
    ASSERT_EQ(index_files().size(), 1u);
    const auto one = std::filesystem::file_size(cache_folder() + index_files()[0]);
    const std::string bound = std::to_string(one * 5 / 2);  // room for two
    const std::string first_index = index_files()[0];
    serve_and_check("b.tar.gz", bound);
    EXPECT_EQ(index_files().size(), 2u);
    // The first is used again, so the second is the least recently used.
    EXPECT_NE(serve_and_check("tree.tar.gz", bound).find(used_index), std::string::npos);
    const std::vector<std::string> before_third = index_files();
    serve_and_check("c.tar.gz", bound);
    const std::vector<std::string> after = index_files();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NE(std::find(after.begin(), after.end(), first_index), after.end());
    EXPECT_NE(serve_and_check("tree.tar.gz", bound).find(used_index), std::string::npos);
    // A bound below one index keeps none of it.
    std::filesystem::remove_all(work_.path() + "cache");
    serve_and_check("tree.tar.gz", std::to_string(one / 2));
    EXPECT_TRUE(index_files().empty());
}

}  // namespace
