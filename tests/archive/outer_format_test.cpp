// An archive that holds another archive opens as itself: every pair of
// formats with a signature, made by their own tools (rar by the tests' writer), the inner archive stored
// before and after a text file, and as the one stream of a compressor.
#include "archive/string_convert.h"
#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using test_support::run_in;
using test_support::temp_folder;

namespace {

struct archive_kind {
    const char* extension;
    const char* format;  // the library's name for it
    // Makes `out` of the files `in` (names separated by spaces) in the current folder.
    const char* make;
};

// Those that hold several files, stored where the tool can store, as users make them otherwise.
const archive_kind several[] = {
    {"zip", "zip", "zip -q $out $in"},
    {"stored.zip", "zip", "zip -q -0 $out $in"},
    {"7z", "7z", "7z a -bd -bso0 $out $in"},
    {"copy.7z", "7z", "7z a -bd -bso0 -mx0 $out $in"},
    {"tar", "tar", "tar cf $out $in"},
    {"cab", "Cab", "gcab -c $out $in"},
    {"iso", "Iso", "genisoimage -quiet -J -R -o $out $in"},
    // Stored, laid out by the tests' own writer: no free tool makes rar archives.
    {"rar", "Rar", "python3 $src/tests/support/make_rar.py 4 $out $in"},
    {"rar5.rar", "Rar5", "python3 $src/tests/support/make_rar.py 5 $out $in"},
};
// Those that hold one stream.
const archive_kind one[] = {
    {"gz", "gzip", "gzip -c < $in > $out"},
    {"xz", "xz", "xz -c < $in > $out"},
    {"bz2", "bzip2", "bzip2 -c < $in > $out"},
    {"zst", "zstd", "zstd -q -c < $in > $out"},
};

std::string command_for(const archive_kind& kind, const std::string& out, const std::string& in)
{
    std::string command = kind.make;
    command.replace(command.find("$out"), 4, out);
    command.replace(command.find("$in"), 3, in);
    if (const std::size_t at = command.find("$src"); at != std::string::npos)
        command.replace(at, 4, VORSEL_SOURCE_DIR);
    return command;
}

struct opened {
    std::string format;
    std::vector<std::string> paths;
};

opened open_file(const std::string& path)
{
    archive::archive_file file;
    browse::content_tree tree;
    opened result;
    if (test_support::open_and_list(file, path, tree).status != archive::open_status::opened)
        return result;
    const AString format = UnicodeStringToMultiByte(UString(file.format_name().c_str()));
    result.format = static_cast<const char*>(format);
    for (const auto& [item, index] : test_support::items_of(tree))
        result.paths.push_back(item);
    return result;
}

bool has_path(const opened& archive, const std::string& path)
{
    for (const std::string& item : archive.paths)
        if (item == path)
            return true;
    return false;
}

}  // namespace

TEST(OuterFormat, AnArchiveHoldingAnotherOpensAsItself)
{
    temp_folder folder;
    folder.write_file("in.txt", "the inner archive's text\n");
    folder.write_file("a_notes.txt", "the outer archive's text, before\n");
    folder.write_file("z_notes.txt", "the outer archive's text, after\n");
    std::vector<archive_kind> inners(std::begin(several), std::end(several));
    inners.insert(inners.end(), std::begin(one), std::end(one));
    for (const archive_kind& inner : inners)
        run_in(folder.path(), command_for(inner, std::string("inner.") + inner.extension, "in.txt"));

    for (const archive_kind& outer : several) {
        for (const archive_kind& inner : inners) {
            const std::string inner_name = std::string("inner.") + inner.extension;
            for (const char* notes : {"a_notes.txt", "z_notes.txt"}) {
                const std::string in = notes[0] == 'a' ? std::string(notes) + " " + inner_name
                                                       : inner_name + " " + notes;
                const std::string out = std::string("outer-") + notes[0] + "-" + inner.extension + "." + outer.extension;
                run_in(folder.path(), command_for(outer, out, in));
                const opened archive = open_file(folder.path() + out);
                SCOPED_TRACE(out + " holding " + in);
                EXPECT_EQ(archive.format, outer.format);
                EXPECT_TRUE(has_path(archive, notes)) << "the outer archive's own item is listed";
                EXPECT_TRUE(has_path(archive, inner_name));
            }
        }
    }
    for (const archive_kind& outer : one) {
        for (const archive_kind& inner : inners) {
            const std::string out = std::string("inner.") + inner.extension + "." + outer.extension;
            run_in(folder.path(), command_for(outer, out, std::string("inner.") + inner.extension));
            const opened archive = open_file(folder.path() + out);
            SCOPED_TRACE(out);
            EXPECT_EQ(archive.format, outer.format);
            EXPECT_EQ(archive.paths.size(), 1u);
        }
    }
}
