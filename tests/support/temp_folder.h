// A fresh folder under /tmp for one test, removed with everything in it.
#pragma once

#include <string>

namespace test_support {

class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const std::string& path() const { return path_; }

    // Writes a file at `relative` below the folder, making its folders.
    std::string write_file(const std::string& relative, const std::string& contents) const;

    // Makes a folder at `relative` below the folder, with its parents.
    std::string make_folder(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace test_support
