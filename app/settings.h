// The program's settings that the environment may change: mostly for tests and
// for machines with unusual needs.
//   VORSEL_HEADER_TIMEOUT_MS  time to send a request header (default 10 s)
//   VORSEL_WRITE_TIMEOUT_MS   time a reply may make no progress (default 60 s)
//   VORSEL_MEMORY_BUDGET      bytes an item of unknown size may take while it is
//                             collected whole (default a quarter of physical memory)
//   VORSEL_CACHE_BYTES        bytes of extracted items kept in memory (default an
//                             eighth of physical memory, at most 2 GiB; 0: none)
#pragma once

#include <cstdint>

#include "http/connection_limits.h"

namespace app {

struct settings {
    http::connection_limits limits;
    std::uint64_t collect_budget = 0;
    std::uint64_t cache_budget = 0;
};

// The defaults, with what the environment sets; values that are not plain
// decimal numbers are ignored.
settings read_settings();

}  // namespace app
