// Opening real archives made at test time and listing their items into a tree.
#include "archive/open_archive.h"

#include "archive/extract_item.h"
#include "archive/in_file_stream.h"
#include "archive/open_callback.h"
#include "archive/pathless_item_name.h"
#include "archive/program_archive.h"
#include "archive/string_convert.h"
#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using test_support::items_of;
using test_support::temp_folder;

namespace {

class open_and_list_test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_support::load_installed_library(); }

    // The paths of the items that open_and_list puts into a fresh tree.
    std::set<std::string> listed_paths(const std::string& archive)
    {
        browse::content_tree tree;
        open_and_list(archive.c_str(), tree);
        std::set<std::string> paths;
        std::set<std::uint32_t> indices;
        for (const auto& [path, index] : items_of(tree)) {
            paths.insert(path);
            indices.insert(index);
        }
        EXPECT_EQ(indices.size(), paths.size()) << "every item has its own index";
        return paths;
    }

    HRESULT open_with_installed_library(const std::string& path)
    {
        CInFileStream* file = new CInFileStream;
        CMyComPtr<IInStream> stream(file);
        EXPECT_TRUE(file->Open(MultiByteToUnicodeString(AString(path.c_str()))));
        CMyComPtr<IArchiveOpenCallback> callback(new CArchiveOpenCallback);
        CMyComPtr<IInArchive> archive;
        int format_index = -1;
        return OpenArchive(program_codecs(), stream, callback, archive, format_index);
    }

    temp_folder folder_;
};

const char zip_script[] = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr(zipfile.ZipInfo('stored.txt'), 'stored text', compress_type=zipfile.ZIP_STORED)
    z.writestr('deflated.txt', 'deflate me ' * 100, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('\u00dcn\u00efc\u00f6d\u00e9/\u0444\u0430\u0439\u043b.txt', 'unicode', compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('name with spaces.txt', 'spaces')
)";

}  // namespace

TEST_F(open_and_list_test, SolidSevenZipWithFoldersAnEmptyFileAndAnEmptyFolder)
{
    folder_.write_file("src/top.txt", "top");
    folder_.write_file("src/dir/inner.txt", "inner");
    folder_.write_file("src/dir/sub/deep.txt", "deep");
    folder_.write_file("src/dir/empty.txt", "");
    std::filesystem::create_directories(folder_.path() + "src/emptydir");
    test_support::run_7z({"a", "-bd", "-t7z", "-m0=lzma2", "-ms=on", "../a.7z", "top.txt", "dir", "emptydir"},
                         folder_.path() + "src");
    EXPECT_EQ(listed_paths(folder_.path() + "a.7z"),
              (std::set<std::string>{"top.txt", "dir", "dir/inner.txt", "dir/sub", "dir/sub/deep.txt",
                                     "dir/empty.txt", "emptydir"}));
}

TEST_F(open_and_list_test, ZipWithStoredAndDeflatedItemsAndUtf8Names)
{
    const std::string archive = folder_.path() + "a.zip";
    test_support::run_python(zip_script, {archive});
    const std::set<std::string> expected{"stored.txt", "deflated.txt",
                                         "\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9/\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt",
                                         "name with spaces.txt"};
    EXPECT_EQ(listed_paths(archive), expected);

    // The archive's own name need not be UTF-8.
    const std::string odd_name = folder_.path() + "odd\xFF\xFE name.zip";
    test_support::copy_file(archive, odd_name);
    EXPECT_EQ(listed_paths(odd_name), expected);
}

TEST_F(open_and_list_test, TarWithAFolderEntry)
{
    const std::string archive = folder_.path() + "a.tar";
    test_support::run_python(R"(
import io, sys, tarfile
with tarfile.open(sys.argv[1], 'w') as t:
    folder = tarfile.TarInfo('docs'); folder.type = tarfile.DIRTYPE; t.addfile(folder)
    for name, data in (('docs/readme.txt', b'read me'), ('c.txt', b'')):
        info = tarfile.TarInfo(name); info.size = len(data); t.addfile(info, io.BytesIO(data))
)",
                             {archive});
    EXPECT_EQ(listed_paths(archive), (std::set<std::string>{"docs", "docs/readme.txt", "c.txt"}));
}

TEST_F(open_and_list_test, AGzipStreamWithoutANameIsNamedAfterTheArchive)
{
    const std::string archive = folder_.path() + "notes.txt.gz";
    test_support::make_nameless_gzip(archive);
    browse::content_tree tree;
    open_and_list(archive.c_str(), tree);
    EXPECT_EQ(items_of(tree), (std::map<std::string, std::uint32_t>{{"notes.txt", 0}}));
    EXPECT_FALSE(tree.root().holds_item());
}

TEST(NameForPathlessItem, TheArchiveNameWithTheFormatsExtensionTurned)
{
    CArcInfoEx gz;
    for (auto [ext, add] : {std::pair{L"gz", L""}, std::pair{L"tgz", L".tar"}}) {
        CArcExtInfo& info = gz.Exts.AddNew();
        info.Ext = ext;
        info.AddExt = add;
    }
    const std::pair<std::string, std::string> table[] = {
        {"/tmp/notes.txt.gz", "notes.txt"}, {"logs.tgz", "logs.tar"},   {"dir/LOUD.GZ", "LOUD"},
        {"data.bin", "data"},               {"plain", "plain"},         {"/a.b/.hidden", ".hidden"},
        {"caf\xc3\xa9.gz", "caf\xc3\xa9"},
    };
    for (const auto& [path, name] : table)
        EXPECT_EQ(NameForPathlessItem(path, gz), name) << path;
}

TEST_F(open_and_list_test, AnArchiveOfNoItemsLeavesTheRootAlone)
{
    const std::string archive = folder_.path() + "empty.zip";
    test_support::run_python("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').close()", {archive});
    EXPECT_EQ(listed_paths(archive), std::set<std::string>{});
}

TEST_F(open_and_list_test, AMissingFileIsReportedAndLeavesNoArchiveOpen)
{
    const std::string archive = folder_.path() + "a.zip";
    test_support::run_python(zip_script, {archive});
    listed_paths(archive);

    browse::content_tree tree;
    testing::internal::CaptureStdout();
    open_and_list((folder_.path() + "missing.7z").c_str(), tree);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nCan not open input file\n");
    EXPECT_TRUE(items_of(tree).empty());
    EXPECT_TRUE(tree.root().children().empty());

    std::string target;
    const extraction_outcome outcome = extract_item(0, target);
    EXPECT_EQ(outcome.result, E_FAIL);
    EXPECT_FALSE(outcome.succeeded());
    EXPECT_EQ(target, "");
}

TEST_F(open_and_list_test, FilesThatNoFormatAcceptsAreRefusedWithoutHardFailure)
{
    EXPECT_EQ(open_with_installed_library(folder_.write_file("empty", "")), S_FALSE);
    std::string noise(3000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    EXPECT_EQ(open_with_installed_library(folder_.write_file("noise", noise)), S_FALSE);
}
