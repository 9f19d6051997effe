// Temporary folders for tests, through std::filesystem.
#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace test_support {

temp_folder::temp_folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vorsel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

temp_folder::~temp_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string temp_folder::write_file(const std::string& relative, const std::string& contents) const
{
    std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary).write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return full.string();
}

std::string temp_folder::make_folder(const std::string& relative) const
{
    std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full);
    return full.string();
}

}  // namespace test_support
