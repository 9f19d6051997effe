// What the process's environment says: variables and the machine's memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The value of the environment variable, or nothing when it is not set.
std::optional<std::string> environment_variable(const char* name);

// The machine's physical memory in bytes; 0 when it cannot be told.
std::uint64_t physical_memory_bytes();

}  // namespace platform
