// A job that the shared workers (search_workers.h) run in turns: a contents
// search, a test of the archive or a folder's zip. Each turn decodes one unit of its items on
// a worker; the turns of one job never overlap.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include "archive/archive_file.h"
#include "archive/extraction_pool.h"
#include "http/live_stream.h"

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

// The stream that a job writes its reply to, with `room` bytes for its client
// to leave unread: a turn that waits for that client lets the pool know.
inline std::shared_ptr<http::live_stream> make_job_stream(http::reply head, std::size_t room)
{
    return std::make_shared<http::live_stream>(std::move(head), room, archive::extraction_pool::waiting_for_client);
}

}  // namespace browse
