// Linux file names are byte strings that the program writes as UTF-8, so files
// are always opened by their wide names converted to UTF-8.
#include "platform/version.h"

bool platform_opens_files_by_wide_name()
{
    return true;
}
