// Which folder the plug-in libraries are loaded from.
#include "archive/codecs.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using test_support::temp_folder;

namespace {

// Sets or clears VORSEL_7ZIP_PATH for one test and restores it afterwards.
class path_variable {
public:
    explicit path_variable(const char* value)
    {
        if (const char* old = std::getenv(name))
            saved_ = old, had_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~path_variable()
    {
        if (had_)
            setenv(name, saved_.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    static constexpr const char* name = "VORSEL_7ZIP_PATH";
    std::string saved_;
    bool had_ = false;
};

std::string base_for(const temp_folder& program_folder)
{
    const AString base = GetBaseFolderPrefix(AString(program_folder.path().c_str()));
    return std::string(base, static_cast<std::size_t>(base.Length()));
}

}  // namespace

TEST(BaseFolder, ALibraryOrPluginFolderBesideTheProgramWins)
{
    temp_folder elsewhere;
    path_variable variable(elsewhere.path().c_str());
    for (const char* beside : {"7z.so", "Codecs/x", "Formats/x"}) {
        temp_folder program;
        program.write_file(beside, "anything, even no library");
        EXPECT_EQ(base_for(program), program.path()) << beside;
    }
    temp_folder program_with_folder_named_like_the_library;
    std::filesystem::create_directories(program_with_folder_named_like_the_library.path() + "7z.so");
    EXPECT_EQ(base_for(program_with_folder_named_like_the_library), elsewhere.path());
}

TEST(BaseFolder, TheVariableWinsOverTheSystemFolderAndGetsASlash)
{
    temp_folder program;
    {
        path_variable variable("/opt/tools");
        EXPECT_EQ(base_for(program), "/opt/tools/");
    }
    {
        path_variable variable("/opt/tools/");
        EXPECT_EQ(base_for(program), "/opt/tools/");
    }
    {
        path_variable variable("");  // empty counts as unset
        EXPECT_EQ(base_for(program), "/usr/lib/p7zip/");
    }
    {
        path_variable variable(nullptr);
        EXPECT_EQ(base_for(program), "/usr/lib/p7zip/");
    }
}
