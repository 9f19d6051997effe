// Shares the extraction pool's workers between jobs that walk many items
// (contents searches, tests of the archive, zips; worker_job.h) and item requests: at
// most `at_once` jobs run, a further one waits for one of them to end;
// the jobs that run take turns on at most all but one of the workers, so
// that a worker is always left for the requests of items, which never wait
// behind a job. A turn is a unit of the job (item_walk.h); between
// turns, the running jobs take the workers in rotation. A job whose
// client has gone ends at its next look (its writes fail at once).
//
// Shared by the route that starts searches and the workers; guarded by its
// mutex. Outlives every job it submits to the pool.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "archive/extraction_pool.h"
#include "browse/worker_job.h"

namespace browse {

class search_workers {
public:
    static constexpr std::size_t at_once = 2;

    // `pool` runs `workers` threads and outlives this object.
    search_workers(archive::extraction_pool& pool, std::size_t workers);
    search_workers(const search_workers&) = delete;
    search_workers& operator=(const search_workers&) = delete;

    // Runs the job now, or once a running one ends.
    void start(std::shared_ptr<worker_job> search);

private:
    struct running {
        std::shared_ptr<worker_job> search;
        bool in_turn = false;
    };

    // Admits waiting searches and gives free workers to those not in a turn; under the lock.
    void hand_out();
    void turn_ended(const std::shared_ptr<worker_job>& search, bool more);

    archive::extraction_pool& pool_;
    const std::size_t workers_for_searches_;
    std::mutex mutex_;
    std::deque<std::shared_ptr<worker_job>> waiting_;
    std::vector<running> running_;
    std::size_t rotation_ = 0;   // where hand_out looks first
    std::size_t turns_ = 0;      // turns on workers now
};

}  // namespace browse
