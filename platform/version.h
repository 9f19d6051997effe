// Which platform family the program runs on.
#pragma once

// True when the system opens files by their wide (Unicode) names, which selects
// the wide-name path of the file layer.
bool platform_opens_files_by_wide_name();
