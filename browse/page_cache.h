// The viewer's page files kept in memory, so that a page is served without
// reading its file again: each request checks the file's identity on disk
// (one stat) and reads it only when it changed or was never read. The cache
// belongs to the router and is used on the event loop only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/file_identity.h"
#include "platform/page_files.h"

namespace browse {

struct page_file {
    std::shared_ptr<const std::string> bytes;
    platform::file_identity identity;
};

class page_cache {
public:
    // Pages are kept while they take at most `budget` bytes in all; the others
    // are read for each request.
    explicit page_cache(std::size_t budget = 32 << 20) : budget_(budget) {}

    // The regular file at `path`, as it is on disk now.
    platform::page_file_status get(const std::string& path, page_file& out);

private:
    std::size_t budget_;
    std::size_t kept_bytes_ = 0;
    std::unordered_map<std::string, page_file> pages_;
};

}  // namespace browse
