// The threads that extract items, so that no extraction runs on the thread that
// serves sockets. Each worker extracts through a handler of its own (the
// library's handlers are not safe to share between threads): the first worker
// takes over the handler that listed the archive, the others open the file
// again the first time they need one, and keep it. A job goes to an idle
// worker that has its handler when there is one (opening one again reads
// every header), a background job to one that has none.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/archive_file.h"

namespace archive {

class extraction_pool {
public:
    // A job runs on a worker with that worker's archive, or with null when the
    // worker could not open one.
    using job = std::function<void(archive_file* archive)>;

    // Starts `workers` threads (at least one). `codecs` and `opened` belong to the
    // caller and outlive the pool; from now on only the first worker uses `opened`.
    extraction_pool(CCodecs& codecs, archive_file& opened, std::size_t workers);
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

private:
    struct worker_archive {
        archive_file* in_use = nullptr;
        std::unique_ptr<archive_file> own;
    };

    void run_worker(worker_archive archive);
    archive_file* archive_of(worker_archive& archive);

    CCodecs& codecs_;
    archive_file& opened_;
    std::mutex mutex_;  // guards the members below
    std::condition_variable wake_;
    std::deque<job> jobs_;
    std::deque<job> background_;
    bool stopping_ = false;
    bool held_ = false;
    // Workers waiting for a job, with their handler and without one.
    std::size_t idle_with_handler_ = 0;
    std::size_t idle_without_handler_ = 0;
    std::vector<std::thread> threads_;
};

}  // namespace archive
