// Folders on opendir(3)/readdir(3), kinds on stat(2).
#include "platform/directory.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

bool find_file(const char* path, bool& is_directory)
{
    struct stat status {};
    if (::stat(path, &status) != 0)
        return false;
    is_directory = S_ISDIR(status.st_mode);
    return true;
}

directory_enumerator::directory_enumerator(std::string folder) : folder_(std::move(folder)) {}

directory_enumerator::~directory_enumerator()
{
    if (stream_)
        ::closedir(static_cast<DIR*>(stream_));
}

bool directory_enumerator::next(file_entry& entry)
{
    if (finished_)
        return false;
    if (!stream_) {
        stream_ = ::opendir(folder_.c_str());
        if (!stream_) {
            finished_ = true;
            return false;
        }
    }
    while (const dirent* found = ::readdir(static_cast<DIR*>(stream_))) {
        if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0)
            continue;
        entry.name = found->d_name;
        entry.is_directory = false;
        find_file((folder_ + entry.name).c_str(), entry.is_directory);
        return true;
    }
    finished_ = true;
    return false;
}

}  // namespace platform
