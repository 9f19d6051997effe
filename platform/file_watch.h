// Whether a file that is being served has been changed on disk since it was
// opened: written over in place (its size or modification time differ, and on
// Linux its inode's change time while it is still the file at its path). A
// file renamed or deleted while it is open has not changed: its bytes are
// still there to read. The watch holds a handle of its own on the file.
//
// Thread-safe: changed() may be called from any thread; once it has found a
// change it answers true for good.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

class file_watch {
public:
    file_watch() = default;
    file_watch(const file_watch&) = delete;
    file_watch& operator=(const file_watch&) = delete;
    ~file_watch();

    // Opens the file at `path` (UTF-8) and notes what it is now; false when it
    // cannot be opened, and the watch then sees no change.
    bool open(const std::string& path);

    bool changed() const;

private:
    struct version {
        std::uint64_t size = 0;
        std::int64_t modified_ns = 0;
        std::int64_t status_changed_ns = 0;  // Linux only; 0 elsewhere
    };

    // What the open file is now; false when it cannot be told.
    bool read_version(version& now) const;
    // Whether the open file is still the one at its path (not renamed or deleted).
    bool still_at_path() const;

    std::string path_;
    std::intptr_t handle_ = -1;  // the descriptor on Linux, the HANDLE on Windows
    version opened_;
    mutable std::atomic<bool> changed_{false};
};

}  // namespace platform
