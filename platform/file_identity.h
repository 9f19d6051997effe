// What tells one version of a file from another: where it lives, its size and
// when it last changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct file_identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;  // nanoseconds since 1970-01-01, UTC

    bool operator==(const file_identity&) const = default;
};

// The identity of the file at `path` (links followed), or nothing when it
// cannot be read.
std::optional<file_identity> identify_file(const std::string& path);

}  // namespace platform
