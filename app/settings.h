// The program's settings that the environment may change: mostly for tests and
// for machines with unusual needs.
//   VORSEL_HEADER_TIMEOUT_MS  time to send a request header (default 10 s)
//   VORSEL_WRITE_TIMEOUT_MS   time a reply may make no progress (default 60 s)
//   VORSEL_MEMORY_BUDGET      bytes an item of unknown size may take while it is
//                             collected whole (default a quarter of physical memory)
//   VORSEL_CACHE_BYTES        bytes of extracted items kept in memory (default an
//                             eighth of physical memory, at most 2 GiB; 0: none)
//   VORSEL_INDEX_CACHE        bytes the lasting indexes of compressed tarballs
//                             may take in the cache folder (default 1 GiB; 0: none kept)
//   VORSEL_CODE_PAGE          the Windows code page (932, 866, 1251...) of item
//                             names that are not UTF-8 (default: detected)
#pragma once

#include <cstdint>
#include <string>

#include "http/connection_limits.h"

namespace app {

struct settings {
    http::connection_limits limits;
    std::uint64_t collect_budget = 0;
    std::uint64_t cache_budget = 0;
    std::uint64_t index_cache_bound = std::uint64_t{1} << 30;  // 0: no lasting indexes
    std::uint32_t names_code_page = 0;   // 0: detect it
    std::string refused_code_page;       // a VORSEL_CODE_PAGE that names no code page this system decodes
};

// The defaults, with what the environment sets; values that are not plain
// decimal numbers are ignored.
settings read_settings();

}  // namespace app
