// The threads that extract items, so that no extraction runs on the thread that
// serves sockets. Each worker extracts through a handler of its own (the
// library's handlers are not safe to share between threads): the first worker
// takes over the handler that listed the archive, the others open the file
// again the first time they need one, and keep it. A job goes to an idle
// worker that has its handler when there is one (opening one again reads
// every header), a background job to one that has none.
//
// A job whose reply's buffer is full waits for its client, which may never
// read on (a paused video): it says so (waiting_for_client), and while fewer
// workers than the pool's base size are free of such waits and jobs wait for
// a worker, the pool starts another, up to a bound. A worker beyond the base
// size ends once it has been idle a while; the one with the listing's handler
// stays.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "archive/archive_file.h"

namespace archive {

// How far an extraction pool grows beyond its base size while workers wait for clients.
struct pool_growth {
    std::size_t most_workers = 64;  // in all, the base size included
    std::chrono::milliseconds idle_end{30000};  // an extra worker idle this long ends
};

class extraction_pool {
public:
    // A job runs on a worker with that worker's archive, or with null when the
    // worker could not open one.
    using job = std::function<void(archive_file* archive)>;

    // Starts `workers` threads (at least one). `codecs` and `opened` belong to the
    // caller and outlive the pool; from now on only the first worker uses `opened`.
    extraction_pool(CCodecs& codecs, archive_file& opened, std::size_t workers, pool_growth bounds = {});
    extraction_pool(const extraction_pool&) = delete;
    extraction_pool& operator=(const extraction_pool&) = delete;

    // Drops the jobs not yet started, waits for the running ones and joins.
    ~extraction_pool();

    // Queues a job; jobs start in the order they were queued.
    void submit(job work);

    // Queues a job that nobody waits for (reading every item's details, say):
    // an idle worker without a handler takes it first, so that the one with
    // the handler stays free for the items asked for.
    void submit_background(job work);

    // Whether a job waits for a worker (or the pool is stopping): work done only
    // in advance yields to it.
    bool has_waiting_jobs();

    // Jobs queue and none starts from hold() to release(): while the archive
    // that the workers extract from is still being opened.
    void hold();
    void release();

    // Called by a job, on its own thread, when it starts (true) and stops
    // (false) waiting for a client to take what it made. On a thread that is
    // no pool's worker it does nothing. Takes the pool's lock: may be called
    // under the caller's own locks, as the pool calls out under none.
    static void waiting_for_client(bool waiting);

    // How many workers there are now: a measure for tests.
    std::size_t workers();

private:
    struct worker_archive {
        archive_file* in_use = nullptr;
        std::unique_ptr<archive_file> own;
    };
    using worker_place = std::list<std::thread>::iterator;

    // Both under the lock.
    bool start_worker(worker_archive archive);  // false when no thread could be started
    void grow();

    void run_worker(worker_place place, worker_archive archive);
    archive_file* archive_of(worker_archive& archive);
    void note_client_wait(bool waiting);

    CCodecs& codecs_;
    archive_file& opened_;
    const std::size_t base_;
    const pool_growth bounds_;
    std::mutex mutex_;  // guards the members below
    std::condition_variable wake_;
    std::deque<job> jobs_;
    std::deque<job> background_;
    bool stopping_ = false;
    bool held_ = false;
    // Workers waiting for a job, with their handler and without one, and
    // those started that have yet to look for one.
    std::size_t idle_with_handler_ = 0;
    std::size_t idle_without_handler_ = 0;
    std::size_t starting_ = 0;
    std::size_t waiting_for_clients_ = 0;  // workers whose job waits for a client
    // Every worker's thread; a worker that ends moves its own to ended_, which
    // the next one to end (or the destructor) joins.
    std::list<std::thread> threads_;
    std::thread ended_;
};

}  // namespace archive
