// Opening real archives made at test time and listing their items into a tree.
#include "archive/open_archive.h"

#include "archive/in_file_stream.h"
#include "archive/open_callback.h"
#include "archive/pathless_item_name.h"
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
    // The paths of the items that opening and listing put into a fresh tree.
    std::set<std::string> listed_paths(const std::string& archive)
    {
        browse::content_tree tree;
        archive::archive_file file;
        EXPECT_EQ(test_support::open_and_list(file, archive, tree).status, archive::open_status::opened);
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
        CMyComPtr<IArchiveOpenCallback> callback(new CArchiveOpenCallback(path, path, std::nullopt));
        CMyComPtr<IInArchive> archive;
        int format_index = -1;
        return OpenArchive(test_support::installed_library(), stream, callback, archive, format_index);
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
    archive::archive_file file;
    test_support::open_and_list(file, archive, tree);
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

TEST_F(open_and_list_test, OutcomesOfOpeningAndAFileThatIsGoneLeavesNoArchiveOpen)
{
    const std::string zip = folder_.path() + "a.zip";
    test_support::run_python(zip_script, {zip});
    browse::content_tree tree;
    archive::archive_file file;
    EXPECT_EQ(test_support::open_and_list(file, zip, tree).status, archive::open_status::opened);
    EXPECT_TRUE(file.is_open());

    // The same object opening a missing file lets go of the archive it held.
    browse::content_tree missing_tree;
    const archive::open_outcome missing = test_support::open_and_list(file, folder_.path() + "missing.7z", missing_tree);
    EXPECT_EQ(missing.status, archive::open_status::cannot_open_file);
    EXPECT_FALSE(file.is_open());
    EXPECT_TRUE(missing_tree.root().children().empty());
    std::string target;
    archive::string_sink sink(target);
    EXPECT_EQ(file.extract(0, sink), archive::item_status::failed);
    EXPECT_EQ(target, "");

    std::string bytes(3000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
    browse::content_tree noise_tree;
    const archive::open_outcome noise =
        test_support::open_and_list(file, folder_.write_file("noise.bin", bytes), noise_tree);
    EXPECT_EQ(noise.status, archive::open_status::not_an_archive);
    EXPECT_FALSE(noise.password_asked);

    // Encrypted names: the handler asks for a password, gets none, and refuses.
    folder_.write_file("src/secret.txt", "secret");
    test_support::run_7z({"a", "-bd", "-t7z", "-pX", "-mhe=on", "../names.7z", "secret.txt"}, folder_.path() + "src");
    browse::content_tree secret_tree;
    const archive::open_outcome secret = test_support::open_and_list(file, folder_.path() + "names.7z", secret_tree);
    EXPECT_EQ(secret.status, archive::open_status::not_an_archive);
    EXPECT_TRUE(secret.password_asked);
}

TEST_F(open_and_list_test, FilesThatNoFormatAcceptsAreRefusedWithoutHardFailure)
{
    EXPECT_EQ(open_with_installed_library(folder_.write_file("empty", "")), S_FALSE);
    std::string noise(3000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    EXPECT_EQ(open_with_installed_library(folder_.write_file("noise", noise)), S_FALSE);
}
