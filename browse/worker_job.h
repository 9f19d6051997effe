// A long job that the extraction pool's workers run in turns (a contents
// search, a folder's zip): search_workers gives them out between jobs.
#pragma once

#include "archive/archive_file.h"

namespace browse {

class worker_job {
public:
    virtual ~worker_job() = default;

    // One turn on a worker, through its archive (null: it could not be
    // opened); false when the job has nothing left to do.
    virtual bool run_turn(archive::archive_file* top) = 0;

    // Ends the job's reply. Once, after its last turn.
    virtual void finish() = 0;
};

}  // namespace browse
