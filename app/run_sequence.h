// The start-up and run sequence that main hands its one argument to.
#pragma once

#include "app/console.h"

namespace app {

// Writes its messages to `out`. Loads the plug-in libraries, starts the server,
// prints its address, opens the archive and lists its items, opens the browser
// on the viewer page and serves until the event loop ends. A first read that
// takes a while (a compressed tarball) starts serving early: the page, and the
// figures of the read, while the rest waits for the listing. Returns the exit status: 1 when the registry fails
// to load ("7z.dll not found!"), 2 when the server fails to start or to run
// ("vorsel: <what>" on standard error), else 0. Does not return when no format
// accepts the archive (status 3, after one key).
int run_sequence(console& out, const char* archive_path);

}  // namespace app
