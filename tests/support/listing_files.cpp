#include "tests/support/listing_files.h"

namespace test_support {
namespace {

void collect(const json_value& folder, const std::string& prefix, std::map<std::string, const json_value*>& files)
{
    for (const json_value& file : folder.at("files").items)
        files[prefix + file.at("name").text] = &file;
    for (const json_value& sub : folder.at("SubDirectories").items)
        collect(sub, prefix + sub.at("name").text + "/", files);
}

}  // namespace

std::map<std::string, const json_value*> listing_files(const json_value& folder)
{
    std::map<std::string, const json_value*> files;
    collect(folder, "", files);
    return files;
}

}  // namespace test_support
