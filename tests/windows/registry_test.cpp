// Where the plug-in library is looked for: the program's folder, then
// VORSEL_7ZIP_PATH, then the value "Path" of Software\7-Zip under the current
// user, then under the local machine.
#include "archive/codecs.h"
#include "platform/registry.h"
#include "tests/windows/windows_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Sets or removes the value "Path" of Software\7-Zip in one hive, and puts the
// old state back afterwards.
class registry_path {
public:
    explicit registry_path(HKEY hive) : hive_(hive)
    {
        DWORD size = sizeof saved_;
        had_ = ::RegGetValueW(hive_, key, L"Path", RRF_RT_REG_SZ, nullptr, saved_, &size) == ERROR_SUCCESS;
        remove();
    }
    ~registry_path()
    {
        if (had_)
            set(saved_);
        else
            remove();
    }
    bool set(const wchar_t* folder)
    {
        return ::RegSetKeyValueW(hive_, key, L"Path", REG_SZ, folder,
                                 static_cast<DWORD>((std::wcslen(folder) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    void remove() { (void)::RegDeleteKeyValueW(hive_, key, L"Path"); }

private:
    static constexpr const wchar_t* key = L"Software\\7-Zip";
    HKEY hive_;
    bool had_ = false;
    wchar_t saved_[1024] = {};
};

// Clears VORSEL_7ZIP_PATH for the test and puts it back.
struct environment_path {
    environment_path() { ::SetEnvironmentVariableW(L"VORSEL_7ZIP_PATH", nullptr); }
    ~environment_path() { ::SetEnvironmentVariableW(L"VORSEL_7ZIP_PATH", nullptr); }
    void set(const wchar_t* value) { ::SetEnvironmentVariableW(L"VORSEL_7ZIP_PATH", value); }
};

std::string base_folder(const std::string& program_folder)
{
    const AString prefix = GetBaseFolderPrefix(AString(program_folder.c_str()));
    return std::string(prefix, static_cast<std::size_t>(prefix.Length()));
}

}  // namespace

TEST(Registry, LookupOrder)
{
    registry_path user(HKEY_CURRENT_USER);
    registry_path machine(HKEY_LOCAL_MACHINE);
    environment_path environment;
    windows_tests::windows_folder empty_program_folder;
    const std::string program = empty_program_folder.path();

    // Nothing anywhere: the program's own folder.
    EXPECT_EQ(base_folder(program), program);
    std::string value;
    EXPECT_FALSE(platform::read_7zip_path(platform::registry_hive::current_user, value));
    EXPECT_FALSE(platform::read_7zip_path(platform::registry_hive::local_machine, value));

    ASSERT_TRUE(machine.set(L"C:\\Program Files\\7-Zip"));
    EXPECT_EQ(base_folder(program), "C:/Program Files/7-Zip/");
    ASSERT_TRUE(user.set(L"D:\\Users\\me\\7-Zip\\"));
    EXPECT_EQ(base_folder(program), "D:/Users/me/7-Zip/");
    environment.set(L"E:\\portable 7z");
    EXPECT_EQ(base_folder(program), "E:\\portable 7z/");  // taken as it is given

    // A library beside the program wins over all of them.
    ASSERT_TRUE(windows_tests::write_file(program + "7z.dll", "MZ"));
    EXPECT_EQ(base_folder(program), program);

    environment.set(nullptr);
    user.remove();
    EXPECT_TRUE(platform::read_7zip_path(platform::registry_hive::local_machine, value));
    EXPECT_EQ(value, "C:/Program Files/7-Zip");
    EXPECT_FALSE(platform::read_7zip_path(platform::registry_hive::current_user, value));
}
