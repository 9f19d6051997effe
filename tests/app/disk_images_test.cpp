// Disk images through the real executable: raw disks partitioned with sfdisk,
// their partitions formatted with mkfs.fat, mke2fs and mkntfs, and the disks
// converted by qemu-img to VHD, VHDX, VDI, VMDK and QCOW2. A disk of one
// partition is served as that partition's files, one level of the chain of
// single items for the image and one for the partition table; a disk of
// several serves its partitions, each an inner archive; a disk inside another
// archive opens as an inner archive too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/raw_http.h"
#include "tests/support/running_program.h"
#include "tests/support/temp_folder.h"

using namespace test_support;

namespace {

const std::string text_item = "hello from the disk\n";

std::string binary_item()
{
    return known_bytes(200000, 41);
}

// The raw images and their conversions, made once for the whole suite: the
// file systems of tree/ in partition files (NTFS's holds its files at its
// root), laid into disks at sector 2048.
const char* const make_images = R"(set -e
place() { dd if="$1" of="$2" bs=512 seek="$3" conv=notrunc status=none; }
truncate -s 6M fat.part && mkfs.fat fat.part >/dev/null && mcopy -s -i fat.part tree/a.txt tree/sub ::/
mke2fs -q -F -t ext4 -b 1024 -N 64 -d tree ext.part 6M
truncate -s 6M ntfs.part && mkntfs -q -F -s 512 -c 4096 ntfs.part 2>/dev/null
ntfscp ntfs.part tree/a.txt a.txt >/dev/null && ntfscp ntfs.part tree/sub/b.bin b.bin >/dev/null
cp fat.part bare_fat.img
truncate -s 7M mbr_fat.img && echo 'start=2048, type=c' | sfdisk -q mbr_fat.img && place fat.part mbr_fat.img 2048
truncate -s 8M gpt_ext.img && printf 'label: gpt\nstart=2048, size=12288, type=L\n' | sfdisk -q gpt_ext.img
place ext.part gpt_ext.img 2048
# The last MiB of this disk is left out of its partition.
truncate -s 8M mbr_ntfs.img && echo 'start=2048, size=12288, type=7' | sfdisk -q mbr_ntfs.img
place ntfs.part mbr_ntfs.img 2048
truncate -s 13M two.img && printf 'start=2048, size=12288, type=c\nstart=14336, type=83\n' | sfdisk -q two.img
place fat.part two.img 2048 && place ext.part two.img 14336
for disk in bare_fat mbr_fat gpt_ext mbr_ntfs two; do
  qemu-img convert -f raw -O vpc $disk.img $disk.vhd
  for format in vhdx vdi vmdk qcow2; do qemu-img convert -f raw -O $format $disk.img $disk.$format; done
done
)";

// What the images are converted to ("img": the raw disk itself). The library
// reads each of them.
const char* const image_formats[] = {"img", "vhd", "vhdx", "vdi", "vmdk", "qcow2"};

class DiskImages : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        work_ = new temp_folder;
        work_->write_file("tree/a.txt", text_item);
        work_->write_file("tree/sub/b.bin", binary_item());
        work_->make_folder("scratch");
        run_in(work_->path(), make_images);
    }

    static void TearDownTestSuite() { delete work_; }

    static std::unique_ptr<running_program> serve(const std::string& archive, unsigned short& port)
    {
        return start_server(VORSEL_EXECUTABLE, work_->path(), archive, port, {"TMPDIR=" + work_->path() + "scratch"});
    }

    // The listing of `file` served alone, its root named `name`.
    static std::string listing_of(const std::string& file, const std::string& name = "ArchiveContent")
    {
        unsigned short port = 0;
        auto program = serve(file, port);
        const std::string listing = reply_body(http_get(port, "/ArchiveContent"));
        const std::string root = R"({"name":"ArchiveContent")";
        EXPECT_EQ(listing.rfind(root, 0), 0u) << listing;
        return R"({"name":")" + name + '"' + listing.substr(root.size());
    }

    static temp_folder* work_;
};

temp_folder* DiskImages::work_ = nullptr;

// The console lines of the levels of a chain opened one after another.
std::string chain_lines(const std::vector<std::string>& levels)
{
    std::string lines;
    for (const std::string& level : levels)
        lines += "decoding the inner archive " + level + " into a temporary file\nopened the inner archive " + level +
                 "\n";
    return lines;
}

TEST_F(DiskImages, ADiskOfOnePartitionIsServedAsItsFiles)
{
    struct disk {
        const char* name;
        const char* partition_file;  // the file system, served alone
        const char* partition;       // the item that the partition table names it; none: no table
        const char* binary_path;     // where tree/sub/b.bin is
    };
    const disk disks[] = {
        {"bare_fat", "fat.part", nullptr, "sub/b.bin"},
        {"mbr_fat", "fat.part", "0.fat", "sub/b.bin"},
        {"gpt_ext", "ext.part", "0.img", "sub/b.bin"},
        {"mbr_ntfs", "ntfs.part", "0.ntfs", "b.bin"},  // beside its unpartitioned space
    };
    for (const disk& d : disks) {
        const std::string expected_listing = listing_of(d.partition_file);
        ASSERT_NE(expected_listing.find("\"a.txt\""), std::string::npos) << expected_listing;
        for (const std::string format : image_formats) {
            const std::string image = std::string(d.name) + "." + format;
            SCOPED_TRACE(image);
            // A converted image holds the raw disk, named after the image.
            std::vector<std::string> levels;
            if (format != "img")
                levels.push_back(d.name);
            if (d.partition)
                levels.push_back(d.partition);
            unsigned short port = 0;
            auto program = serve(image, port);
            ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
            if (levels.empty())
                EXPECT_EQ(program->output().find("inner archive"), std::string::npos) << program->output();
            else
                EXPECT_NE(program->output().find(chain_lines(levels) + "Press Ctrl+C"), std::string::npos)
                    << program->output();
            EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent")), expected_listing);
            EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/a.txt")), text_item);
            EXPECT_EQ(reply_body(http_get(port, std::string("/ArchiveContent/") + d.binary_path)), binary_item());
        }
    }
}

TEST_F(DiskImages, ADiskOfTwoPartitionsServesEachAsAnInnerArchive)
{
    const std::string fat_listing = listing_of("fat.part", "0.fat");
    const std::string ext_listing = listing_of("ext.part", "1.img");
    for (const std::string format : image_formats) {
        const std::string image = "two." + format;
        SCOPED_TRACE(image);
        unsigned short port = 0;
        auto program = serve(image, port);
        ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
        // The chain goes through the image to the partition table, and stops there.
        EXPECT_NE(program->output().find((format == "img" ? std::string() : chain_lines({"two"})) + "Press Ctrl+C"),
                  std::string::npos)
            << program->output();
        const std::string root = reply_body(http_get(port, "/ArchiveContent"));
        EXPECT_NE(root.find(R"("files":["0.fat","1.img")"), std::string::npos) << root;
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/0.fat?list")), fat_listing);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/1.img?list")), ext_listing);
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/0.fat/sub/b.bin")), binary_item());
        EXPECT_EQ(reply_body(http_get(port, "/ArchiveContent/1.img/a.txt")), text_item);
    }
}

TEST_F(DiskImages, ADiskInsideAnotherArchiveOpensAsAnInnerArchive)
{
    // Beside each disk a plain file, so that none of them is a chain; boot.bin
    // is text with a boot sector's signature, and stays a file.
    work_->write_file("boot.bin", std::string(510, 't') + "\x55\xAA");
    run_in(work_->path(), "zip -q -0 holder.zip mbr_fat.img boot.bin && tar -cf holder.tar gpt_ext.img boot.bin && "
                          "7z a -bd -bso0 holder.7z mbr_ntfs.vhd boot.bin");
    struct exchange {
        const char* target;
        std::string status_line;
        std::string body;  // empty: not compared
    };
    struct holder {
        const char* name;
        std::vector<exchange> exchanges;
    };
    const std::string ok = "HTTP/1.0 200 OK";
    const std::string not_found = "HTTP/1.0 404 Not Found";
    const holder holders[] = {
        {"holder.zip",
         {{"/ArchiveContent/mbr_fat.img?list", ok, R"({"name":"mbr_fat.img", "SubDirectories":[], "files":["0.fat"]})"},
          {"/ArchiveContent/mbr_fat.img/0.fat?list", ok, listing_of("fat.part", "0.fat")},
          {"/ArchiveContent/mbr_fat.img/0.fat/sub/b.bin", ok, binary_item()},
          {"/ArchiveContent/boot.bin?list", not_found, ""}}},
        {"holder.tar",
         {{"/ArchiveContent/gpt_ext.img?list", ok, R"({"name":"gpt_ext.img", "SubDirectories":[], "files":["0.img"]})"},
          {"/ArchiveContent/gpt_ext.img/0.img?list", ok, listing_of("ext.part", "0.img")},
          {"/ArchiveContent/gpt_ext.img/0.img/a.txt", ok, text_item},
          {"/ArchiveContent/boot.bin?list", not_found, ""}}},
        {"holder.7z",
         {{"/ArchiveContent/mbr_ntfs.vhd?list", ok, R"({"name":"mbr_ntfs.vhd", "SubDirectories":[], "files":["mbr_ntfs"]})"},
          {"/ArchiveContent/mbr_ntfs.vhd/mbr_ntfs?list", ok, ""},  // the partition and the space after it
          {"/ArchiveContent/mbr_ntfs.vhd/mbr_ntfs/0.ntfs?list", ok, listing_of("ntfs.part", "0.ntfs")},
          {"/ArchiveContent/mbr_ntfs.vhd/mbr_ntfs/0.ntfs/b.bin", ok, binary_item()}}},
    };
    for (const holder& h : holders) {
        SCOPED_TRACE(h.name);
        unsigned short port = 0;
        auto program = serve(h.name, port);
        ASSERT_TRUE(program->wait_for_output("Press Ctrl+C to stop.\n")) << program->output();
        EXPECT_EQ(program->output().find("inner archive"), std::string::npos) << program->output();
        for (const exchange& expected : h.exchanges) {
            SCOPED_TRACE(expected.target);
            const std::string reply = http_get(port, expected.target);
            EXPECT_EQ(reply_status_line(reply), expected.status_line);
            if (!expected.body.empty()) {
                EXPECT_EQ(reply_body(reply), expected.body);
            }
        }
    }
}

}  // namespace
