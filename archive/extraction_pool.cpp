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
        background_.clear();
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
    // All, as a worker without a handler that is woken leaves the job to one with a handler.
    wake_.notify_all();
}

void extraction_pool::submit_background(job work)
{
    {
        std::lock_guard lock(mutex_);
        background_.push_back(std::move(work));
    }
    wake_.notify_all();
}

bool extraction_pool::has_waiting_jobs()
{
    std::lock_guard lock(mutex_);
    return !jobs_.empty() || !background_.empty() || stopping_;
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
            const bool has_handler = archive.in_use != nullptr;
            std::size_t& idle = has_handler ? idle_with_handler_ : idle_without_handler_;
            ++idle;
            // Jobs go to workers with a handler, background jobs to those
            // without one; either takes the other kind when none of that one is idle.
            const auto may_take_job = [&] { return !jobs_.empty() && (has_handler || idle_with_handler_ == 0); };
            const auto may_take_background = [&] {
                return !background_.empty() && (!has_handler || idle_without_handler_ == 0);
            };
            wake_.wait(lock, [&] { return stopping_ || (!held_ && (may_take_job() || may_take_background())); });
            --idle;
            if (stopping_)
                return;
            const bool background = has_handler ? !may_take_job() : may_take_background();
            std::deque<job>& queue = background ? background_ : jobs_;
            work = std::move(queue.front());
            queue.pop_front();
            // The other workers may take what is left now that this one is busy.
            if (!jobs_.empty() || !background_.empty())
                wake_.notify_all();
        }
        work(archive_of(archive));
    }
}

}  // namespace archive
