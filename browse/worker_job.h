// A job that the shared workers (search_workers.h) run in turns: a contents
// search, a test of the archive or a folder's zip. Each turn decodes one unit of its items on
// a worker; the turns of one job never overlap.
#pragma once

#include "archive/archive_file.h"

namespace browse {

class worker_job {
public:
    virtual ~worker_job() = default;

    // One turn on a worker (`top`: its archive, null when it could not be
    // opened); false when the job has nothing left to do.
    virtual bool run_turn(archive::archive_file* top) = 0;

    // Writes the last line and ends the reply. Once, after the last turn.
    virtual void finish() = 0;
};

}  // namespace browse
