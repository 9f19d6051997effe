// Calendar fields of a file time, in UTC.
#pragma once

#include "platform/com_types.h"

namespace platform {

struct system_time {
    int year, month, day, hour, minute, second;
};

// False when the time lies beyond what the system can express.
bool file_time_to_system_time(const FILETIME& time, system_time& result);

}  // namespace platform
