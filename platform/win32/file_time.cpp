// File times through FileTimeToSystemTime.
#include "platform/file_time.h"

namespace platform {

bool file_time_to_system_time(const FILETIME& time, system_time& result)
{
    SYSTEMTIME fields;
    if (!::FileTimeToSystemTime(&time, &fields))
        return false;
    result = {fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond};
    return true;
}

}  // namespace platform
