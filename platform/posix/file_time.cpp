// File times through gmtime_r(3).
#include "platform/file_time.h"

#include <ctime>

namespace platform {

bool file_time_to_system_time(const FILETIME& time, system_time& result)
{
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t unix_epoch = 116444736000000000;
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    if (ticks >= 0x8000000000000000u)
        return false;
    const std::int64_t since_epoch = static_cast<std::int64_t>(ticks) - unix_epoch;
    std::int64_t seconds = since_epoch / 10000000;
    if (since_epoch % 10000000 < 0)
        --seconds;  // round towards the past for times before 1970
    const std::time_t as_time = static_cast<std::time_t>(seconds);
    std::tm fields{};
    if (!::gmtime_r(&as_time, &fields))
        return false;
    result = {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec};
    return true;
}

}  // namespace platform
