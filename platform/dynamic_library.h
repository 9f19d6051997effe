// Plug-in libraries loaded at run time.
#pragma once

namespace platform {

// The file name of 7-Zip's main plug-in library on this system: 7z.so on Linux,
// 7z.dll on Windows.
const char* main_plugin_library_name();

// Whether `path` can be opened and looks like a loadable library (it starts with
// the ELF magic bytes on Linux, "MZ" on Windows). Stands for loading a library
// as a data file.
bool is_library_file(const char* path);

// One loaded library; unloaded when destroyed.
class dynamic_library {
public:
    dynamic_library() = default;
    dynamic_library(const dynamic_library&) = delete;
    dynamic_library& operator=(const dynamic_library&) = delete;
    ~dynamic_library() { free(); }

    // Loads `path` for use, after freeing any library held; false when either
    // fails (a failed free keeps the library held).
    bool load(const char* path);

    // Unloads the library held, if any; false when the system refused.
    bool free();

    bool is_loaded() const { return handle_ != nullptr; }

    // The address of an export, or null.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

}  // namespace platform
