// The folder of lasting caches and the few file operations a bounded cache
// needs: whole files written under a temporary name and renamed into place (so
// that a reader sees a whole file or none, whoever else writes the same name),
// and the files listed by size and last use, for removing the least recently
// used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's cache folder, made when missing (with its parents):
// $XDG_CACHE_HOME/vorsel/, else ~/.cache/vorsel/ (on Windows
// %LOCALAPPDATA%\vorsel\). Ends in the separator; nothing when no such folder
// can be made.
std::optional<std::string> cache_folder();

struct cached_file {
    std::string name;  // without its folder
    std::uint64_t size = 0;
    std::int64_t used_ns = 0;  // last use as mark_used() set it: nanoseconds since 1970
};

// The regular files of `folder` (ending in the separator).
std::vector<cached_file> list_cached_files(const std::string& folder);

// Writes `bytes` to a new file of `folder` under a temporary name of this
// process, then renames it to `name`, replacing any file of that name. False
// (and no file left) when a step fails.
bool replace_cached_file(const std::string& folder, const std::string& name, const std::string& bytes);

// The whole content of the file at `path`; nothing when it cannot be read.
std::optional<std::string> read_cached_file(const std::string& path);

// Records a use of the file at `path` now (its modification time).
void mark_used(const std::string& path);

// Removes the file at `path`; false when it could not be removed.
bool remove_cached_file(const std::string& path);

}  // namespace platform
