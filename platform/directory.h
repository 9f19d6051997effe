// Looking files up and listing the entries of a folder.
#pragma once

#include <string>

namespace platform {

struct file_entry {
    std::string name;  // the entry's own name, without its folder
    bool is_directory = false;
};

// Whether `path` exists; `is_directory` tells what it is (links are followed).
bool find_file(const char* path, bool& is_directory);

// The entries of one folder in the order the file system gives, "." and ".."
// left out. Closes the folder when destroyed.
class directory_enumerator {
public:
    // `folder` ends in '/'.
    explicit directory_enumerator(std::string folder);
    directory_enumerator(const directory_enumerator&) = delete;
    directory_enumerator& operator=(const directory_enumerator&) = delete;
    ~directory_enumerator();

    // The next entry; false at the end or when the folder cannot be read.
    bool next(file_entry& entry);

private:
    std::string folder_;
    void* stream_ = nullptr;  // the open folder, null until the first step
    bool finished_ = false;
};

}  // namespace platform
