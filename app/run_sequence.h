// The start-up and run sequence that main hands its one argument to.
#pragma once

// Loads the plug-in libraries, then opens the archive at `archive_path` and lists
// its items. Returns the exit status: 1 when the registry fails to load ("7z.dll
// not found!"), else 0. Does not return when no format accepts the archive.
int run_sequence(const char* archive_path);
