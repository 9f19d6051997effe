// The extraction pool's workers through the real library: jobs that wait for
// their clients let more jobs start on workers of their own (each with its own
// archive), up to the bound; jobs that are merely busy do not; workers beyond
// the base size end once idle.
#include "archive/extraction_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

namespace {

using archive::extraction_pool;
using namespace std::chrono_literals;

// Jobs that hold their workers until the gate opens, and what the jobs saw.
class gate {
public:
    // A job that waits at the gate, as one whose client reads nothing when
    // `for_client`, else as one that is busy.
    extraction_pool::job holding(bool for_client)
    {
        return [this, for_client](archive::archive_file* archive) {
            if (for_client)
                extraction_pool::waiting_for_client(true);
            std::unique_lock lock(mutex_);
            archives_.insert(archive);
            ++held_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            lock.unlock();
            if (for_client)
                extraction_pool::waiting_for_client(false);
        };
    }

    // A job that only counts itself.
    extraction_pool::job quick()
    {
        return [this](archive::archive_file* archive) {
            std::lock_guard lock(mutex_);
            quick_archives_.push_back(archive);
            changed_.notify_all();
        };
    }

    // Waits (a minute at most) until `held` jobs are at the gate, or `quick`
    // quick jobs have run.
    bool wait_held(std::size_t held) { return wait([&] { return held_ >= held; }); }
    bool wait_quick(std::size_t quick) { return wait([&] { return quick_archives_.size() >= quick; }); }

    std::size_t quick_count()
    {
        std::lock_guard lock(mutex_);
        return quick_archives_.size();
    }

    // The archives the holding jobs were given.
    std::set<archive::archive_file*> archives()
    {
        std::lock_guard lock(mutex_);
        return archives_;
    }

    std::vector<archive::archive_file*> quick_archives()
    {
        std::lock_guard lock(mutex_);
        return quick_archives_;
    }

    void open()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    template <class Done>
    bool wait(Done done)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, done);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    std::size_t held_ = 0;
    std::set<archive::archive_file*> archives_;
    std::vector<archive::archive_file*> quick_archives_;
};

class ExtractionPool : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_.write_file("src/a.txt", "a small item");
        test_support::run_7z({"a", "-bd", "-tzip", "../a.zip", "a.txt"}, folder_.path() + "src");
        ASSERT_EQ(file_.open(test_support::installed_library(), folder_.path() + "a.zip").status,
                  archive::open_status::opened);
    }

    // A test that fails leaves jobs at the gates: they are let through before
    // the pool waits for them.
    void TearDown() override
    {
        jobs_.open();
        more_.open();
        pool_.reset();
    }

    void make_pool(std::size_t workers, archive::pool_growth bounds)
    {
        pool_ = std::make_unique<extraction_pool>(test_support::installed_library(), file_, workers, bounds);
    }

    // Gives a job that must not start the time to show that it would.
    static void let_a_wrong_start_show() { std::this_thread::sleep_for(100ms); }

    test_support::temp_folder folder_;
    archive::archive_file file_;
    gate jobs_;
    gate more_;
    std::unique_ptr<extraction_pool> pool_;  // after the gates and the file: its jobs use them
};

}  // namespace

TEST_F(ExtractionPool, JobsWaitingForClientsLetMoreJobsStartUpToTheBound)
{
    make_pool(2, {.most_workers = 4, .idle_end = 600s});
    // Each round: one more job that waits for its client, then a quick job,
    // which starts beside it on a worker of its own while the bound allows.
    const struct {
        std::size_t waiting;  // jobs waiting for clients once the round's is in
        std::size_t workers;  // after the quick job
    } rounds[] = {{2, 3}, {3, 4}};
    pool_->submit(jobs_.holding(true));
    for (std::size_t round = 0; round < std::size(rounds); ++round) {
        pool_->submit(jobs_.holding(true));
        ASSERT_TRUE(jobs_.wait_held(rounds[round].waiting)) << "round " << round;
        pool_->submit(jobs_.quick());
        ASSERT_TRUE(jobs_.wait_quick(round + 1)) << "round " << round << ": the quick job never started";
        EXPECT_EQ(pool_->workers(), rounds[round].workers) << "round " << round;
    }
    // One more waiting job takes the last idle worker; the pool is at its bound.
    pool_->submit(jobs_.holding(true));
    ASSERT_TRUE(jobs_.wait_held(4));
    pool_->submit(jobs_.quick());
    let_a_wrong_start_show();
    EXPECT_EQ(jobs_.quick_count(), 2u) << "a job started beyond the bound";
    EXPECT_EQ(pool_->workers(), 4u);
    // Every worker extracts through an archive of its own.
    const std::set<archive::archive_file*> archives = jobs_.archives();
    EXPECT_EQ(archives.size(), 4u);
    EXPECT_EQ(archives.count(nullptr), 0u) << "a worker could not open the archive again";

    jobs_.open();
    ASSERT_TRUE(jobs_.wait_quick(3)) << "the job left waiting never started";
    for (archive::archive_file* archive : jobs_.quick_archives())
        EXPECT_NE(archive, nullptr);
}

TEST_F(ExtractionPool, BusyJobsAndWaitsOffThePoolDoNotMakeItGrow)
{
    make_pool(2, {.most_workers = 8, .idle_end = 600s});
    pool_->submit(jobs_.holding(false));
    pool_->submit(jobs_.holding(false));
    ASSERT_TRUE(jobs_.wait_held(2));
    // This thread is no worker of the pool: its wait is not the pool's.
    extraction_pool::waiting_for_client(true);
    pool_->submit(jobs_.quick());
    let_a_wrong_start_show();
    EXPECT_EQ(jobs_.quick_count(), 0u) << "the pool grew beside jobs that use the processor";
    EXPECT_EQ(pool_->workers(), 2u);
    extraction_pool::waiting_for_client(false);
    jobs_.open();
    EXPECT_TRUE(jobs_.wait_quick(1));
}

TEST_F(ExtractionPool, WorkersBeyondTheBaseSizeEndOnceIdle)
{
    make_pool(2, {.most_workers = 6, .idle_end = 50ms});
    for (int i = 0; i < 4; ++i)
        pool_->submit(jobs_.holding(true));
    ASSERT_TRUE(jobs_.wait_held(4));
    EXPECT_EQ(pool_->workers(), 4u);
    jobs_.open();
    bool shrunk = false;
    for (int look = 0; look < 600 && !shrunk; ++look) {
        shrunk = pool_->workers() == 2;
        if (!shrunk)
            std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(shrunk) << pool_->workers() << " workers left";
    // The base workers go on; the one with the listing's handler among them.
    for (int i = 0; i < 4; ++i)
        pool_->submit(jobs_.quick());
    ASSERT_TRUE(jobs_.wait_quick(4));
    const std::vector<archive::archive_file*> used = jobs_.quick_archives();
    EXPECT_EQ(std::count(used.begin(), used.end(), nullptr), 0);
    // And grow again when they wait for clients.
    for (int i = 0; i < 3; ++i)
        pool_->submit(more_.holding(true));
    EXPECT_TRUE(more_.wait_held(3));
    EXPECT_EQ(pool_->workers(), 3u);
    more_.open();
}
