// A fresh folder under the system's temporary folder, removed with everything in
// it when the object goes.
#pragma once

#include <string>

namespace test_support {

class temp_folder {
public:
    temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    ~temp_folder();

    // The folder's path, ending in '/'.
    const std::string& path() const { return path_; }

    // Writes `content` to the file `name` inside the folder; returns its path.
    std::string write_file(const std::string& name, const std::string& content) const;

    // Makes the folder `name` inside the folder, with its parents; returns its path.
    std::string make_folder(const std::string& name) const;

private:
    std::string path_;
};

// Copies a file, keeping its permission bits and making the folders it goes in.
void copy_file(const std::string& from, const std::string& to);

// The whole content of a file.
std::string read_file(const std::string& path);

}  // namespace test_support
