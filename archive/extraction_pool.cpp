// The workers' loop: take the oldest job, run it with the worker's archive.
#include "archive/extraction_pool.h"

namespace archive {

extraction_pool::extraction_pool(CCodecs& codecs, archive_file& opened, std::size_t workers)
    : codecs_(codecs), opened_(opened)
{
    if (workers == 0)
        workers = 1;
    threads_.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        worker_archive archive;
        if (i == 0)
            archive.in_use = &opened_;
        threads_.emplace_back([this, archive = std::move(archive)]() mutable { run_worker(std::move(archive)); });
    }
}

extraction_pool::~extraction_pool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void extraction_pool::submit(job work)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(work));
    }
    wake_.notify_one();
}

bool extraction_pool::has_waiting_jobs()
{
    std::lock_guard lock(mutex_);
    return !jobs_.empty() || stopping_;
}

void extraction_pool::hold()
{
    std::lock_guard lock(mutex_);
    held_ = true;
}

void extraction_pool::release()
{
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    wake_.notify_all();
}

archive_file* extraction_pool::archive_of(worker_archive& archive)
{
    if (archive.in_use)
        return archive.in_use;
    if (!archive.own) {
        archive.own = std::make_unique<archive_file>();
        archive.own->open_again(codecs_, opened_);
    }
    // A file that could not be opened is tried again for the next job.
    if (!archive.own->is_open()) {
        archive.own.reset();
        return nullptr;
    }
    archive.in_use = archive.own.get();
    return archive.in_use;
}

void extraction_pool::run_worker(worker_archive archive)
{
    for (;;) {
        job work;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || (!jobs_.empty() && !held_); });
            if (stopping_)
                return;
            work = std::move(jobs_.front());
            jobs_.pop_front();
        }
        work(archive_of(archive));
    }
}

}  // namespace archive
