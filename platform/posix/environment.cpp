// Environment variables and the page count of physical memory.
#include "platform/environment.h"

#include <cstdlib>

#include <unistd.h>

namespace platform {

std::optional<std::string> environment_variable(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

std::uint64_t physical_memory_bytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), page_size = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

}  // namespace platform
