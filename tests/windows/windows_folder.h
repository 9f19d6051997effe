// A fresh folder under the user's temporary folder for one test, removed with
// everything in it afterwards, long paths included.
#pragma once

#include <string>

namespace windows_tests {

class windows_folder {
public:
    windows_folder();
    windows_folder(const windows_folder&) = delete;
    windows_folder& operator=(const windows_folder&) = delete;
    ~windows_folder();

    // The folder's path in UTF-8 with '/' separators, ending in '/'.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes `bytes` into a new file at the UTF-8 `path` (any length); false on failure.
bool write_file(const std::string& path, const std::string& bytes);

// Makes the folder at the UTF-8 `path` (any length); false on failure.
bool make_folder(const std::string& path);

}  // namespace windows_tests
