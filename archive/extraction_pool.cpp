// The workers' loop: take the oldest job, run it with the worker's archive;
// and the pool's growth while jobs wait for clients.
#include "archive/extraction_pool.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace archive {
namespace {

// The pool whose worker runs on this thread; null on any other thread. Each
// worker sets it for its own thread only, so it is never shared.
thread_local extraction_pool* current_pool = nullptr;

}  // namespace

extraction_pool::extraction_pool(CCodecs& codecs, archive_file& opened, std::size_t workers, pool_growth bounds)
    : codecs_(codecs), opened_(opened), base_(std::max<std::size_t>(workers, 1)), bounds_(bounds)
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < base_; ++i) {
        worker_archive archive;
        if (i == 0)
            archive.in_use = &opened_;
        start_worker(std::move(archive));
    }
}

extraction_pool::~extraction_pool()
{
    std::list<std::thread> threads;
    std::thread ended;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
        background_.clear();
        // From now on no worker ends on its own: each returns at its next look.
        threads.swap(threads_);
        ended = std::move(ended_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    if (ended.joinable())
        ended.join();
}

bool extraction_pool::start_worker(worker_archive archive)
{
    // The worker finds its own thread at `place`, which it reads only under the
    // lock that the caller holds while the thread is stored there.
    threads_.emplace_back();
    const worker_place place = std::prev(threads_.end());
    try {
        *place = std::thread(
            [this, place, archive = std::move(archive)]() mutable { run_worker(place, std::move(archive)); });
    } catch (const std::system_error&) {
        threads_.erase(place);  // no thread to be had: the pool does with those it has
        return false;
    }
    ++starting_;
    return true;
}

void extraction_pool::grow()
{
    // A worker whose job waits for a client uses no processor: while fewer
    // than the base size are free of such waits, jobs that no idle worker
    // will take get a worker more.
    while (!stopping_ && !held_ && threads_.size() < bounds_.most_workers &&
           threads_.size() < base_ + waiting_for_clients_ &&
           jobs_.size() + background_.size() > idle_with_handler_ + idle_without_handler_ + starting_) {
        if (!start_worker({}))
            return;
    }
}

void extraction_pool::submit(job work)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(work));
        grow();
    }
    // All, as a worker without a handler that is woken leaves the job to one with a handler.
    wake_.notify_all();
}

void extraction_pool::submit_background(job work)
{
    {
        std::lock_guard lock(mutex_);
        background_.push_back(std::move(work));
        grow();
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
        grow();
    }
    wake_.notify_all();
}

void extraction_pool::waiting_for_client(bool waiting)
{
    if (current_pool)
        current_pool->note_client_wait(waiting);
}

void extraction_pool::note_client_wait(bool waiting)
{
    std::lock_guard lock(mutex_);
    if (waiting) {
        ++waiting_for_clients_;
        grow();
    } else if (waiting_for_clients_ > 0) {
        --waiting_for_clients_;
    }
}

std::size_t extraction_pool::workers()
{
    std::lock_guard lock(mutex_);
    return threads_.size();
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

void extraction_pool::run_worker(worker_place place, worker_archive archive)
{
    current_pool = this;
    std::unique_lock lock(mutex_);
    --starting_;
    for (;;) {
        job work;
        const bool has_handler = archive.in_use != nullptr;
        std::size_t& idle = has_handler ? idle_with_handler_ : idle_without_handler_;
        ++idle;
        // Jobs go to workers with a handler, background jobs to those
        // without one; either takes the other kind when none of that one is idle.
        const auto may_take_job = [&] { return !jobs_.empty() && (has_handler || idle_with_handler_ == 0); };
        const auto may_take_background = [&] {
            return !background_.empty() && (!has_handler || idle_without_handler_ == 0);
        };
        const bool woken = wake_.wait_for(
            lock, bounds_.idle_end, [&] { return stopping_ || (!held_ && (may_take_job() || may_take_background())); });
        --idle;
        if (stopping_)
            return;  // the destructor joins this thread
        if (!woken) {
            // Idle a while: a worker beyond the base size ends, but for the one
            // with the listing's handler, which nobody else would use.
            if (threads_.size() > base_ && archive.in_use != &opened_) {
                std::thread self = std::move(*place);
                threads_.erase(place);
                std::thread previous = std::exchange(ended_, std::move(self));
                lock.unlock();
                if (previous.joinable())
                    previous.join();
                return;
            }
            continue;
        }
        const bool background = has_handler ? !may_take_job() : may_take_background();
        std::deque<job>& queue = background ? background_ : jobs_;
        work = std::move(queue.front());
        queue.pop_front();
        // The other workers may take what is left now that this one is busy.
        if (!jobs_.empty() || !background_.empty())
            wake_.notify_all();
        lock.unlock();
        work(archive_of(archive));
        work = nullptr;  // what the job holds goes before the lock is taken again
        lock.lock();
    }
}

}  // namespace archive
