// Temporary folders on mkdtemp(3) and std::filesystem.
#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_support {

temp_folder::temp_folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vorsel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
}

temp_folder::~temp_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string temp_folder::write_file(const std::string& name, const std::string& content) const
{
    const std::string file = path_ + name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::string temp_folder::make_folder(const std::string& name) const
{
    const std::string folder = path_ + name;
    std::filesystem::create_directories(folder);
    return folder;
}

void copy_file(const std::string& from, const std::string& to)
{
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace test_support
