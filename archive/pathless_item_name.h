// The name under which an item that has no path of its own is listed. The
// handlers of single-stream formats (gz, xz, bz2 and the like) give their one
// item no path; listed at the root it could never be asked for, so it takes the
// archive's file name with the format's extension turned into what it stands
// for: "notes.txt.gz" gives "notes.txt", "logs.tgz" gives "logs.tar".
#pragma once

#include <string>
#include <string_view>

#include "archive/codecs.h"

// `archivePath` is the path the archive was opened by, as UTF-8 bytes.
std::string NameForPathlessItem(std::string_view archivePath, const CArcInfoEx& format);
