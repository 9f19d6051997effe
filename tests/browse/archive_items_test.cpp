// Items of solid archives through the real library, the extraction pool and the
// item cache: a block is decoded once for many requests, requests join a pass
// that has yet to reach their item, read-ahead yields to other requests, and a
// damaged block never passes wrong bytes as good ones.
#include "browse/archive_items.h"
#include "browse/streamed_item.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>

#include "tests/support/archive_listing.h"
#include "tests/support/archive_tools.h"
#include "tests/support/temp_folder.h"

namespace {

using archive::item_status;

// Collects what a source delivers for one request and tells when it is done.
class collecting_receiver : public browse::item_receiver {
public:
    void begin(std::optional<std::uint64_t>) override {}
    bool write(const char* data, std::size_t size) override
    {
        std::lock_guard lock(mutex_);
        bytes_.append(data, size);
        return true;
    }
    void finish(item_status status) override
    {
        std::lock_guard lock(mutex_);
        status_ = status;
        done_.notify_all();
    }
    void take_whole(std::shared_ptr<const std::string> bytes) override
    {
        std::lock_guard lock(mutex_);
        bytes_ = *bytes;
        status_ = item_status::ok;
        done_.notify_all();
    }

    // The status and bytes once done (nothing after 60 s).
    std::optional<std::pair<item_status, std::string>> wait()
    {
        std::unique_lock lock(mutex_);
        if (!done_.wait_for(lock, std::chrono::seconds(60), [this] { return status_.has_value(); }))
            return std::nullopt;
        return std::pair{*status_, bytes_};
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    std::string bytes_;
    std::optional<item_status> status_;
};

// Text that compresses, different for every item.
std::string item_text(int number, std::size_t size)
{
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "item " + std::to_string(number) + " line " + std::to_string(static_cast<long long>(line) * 7919 % 10007) + "\n";
    text.resize(size);
    return text;
}

class ArchiveItems : public ::testing::Test {
protected:
    // Makes a solid 7z of `count` items of `size` bytes ("f00.txt"...), opens
    // and lists it; the pool has `workers` workers.
    void open_solid(int count, std::size_t size, std::size_t workers, std::vector<std::string> options = {})
    {
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%02d.txt", i);
            contents_[name] = item_text(i, size);
            folder_.write_file(std::string("src/") + name, contents_[name]);
        }
        std::vector<std::string> arguments{"a", "-bd", "-t7z", "-m0=lzma2", "-ms=on", "-mqs=off"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {"../solid.7z", "."});
        test_support::run_7z(arguments, folder_.path() + "src");
        open(folder_.path() + "solid.7z", workers);
    }

    void open(const std::string& path, std::size_t workers)
    {
        ASSERT_EQ(file_->open(test_support::installed_library(), path).status, archive::open_status::opened);
        file_->list_items([this](std::string_view item_path, std::uint32_t index) { indices_[std::string(item_path)] = index; });
        details_ = file_->read_details();
        pool_ = std::make_unique<archive::extraction_pool>(test_support::installed_library(), *file_, workers);
        items_ = std::make_unique<browse::archive_items>(*pool_, cache_);
        items_->set_layout(browse::block_layout(details_));
    }

    std::shared_ptr<collecting_receiver> fetch(const std::string& name)
    {
        auto receiver = std::make_shared<collecting_receiver>();
        items_->fetch(indices_.at(name), receiver, std::nullopt);
        return receiver;
    }

    test_support::temp_folder folder_;
    std::map<std::string, std::string> contents_;
    std::unique_ptr<archive::archive_file> file_ = std::make_unique<archive::archive_file>();
    std::map<std::string, std::uint32_t> indices_;
    std::vector<archive::item_details> details_;
    browse::item_cache cache_{std::uint64_t{256} << 20};
    std::unique_ptr<archive::extraction_pool> pool_;  // after the cache and the file: its jobs use both
    std::unique_ptr<browse::archive_items> items_;
};

}  // namespace

TEST_F(ArchiveItems, ABlockIsDecodedOnceForRequestsOfManyOfItsItems)
{
    open_solid(10, 200000, 2);
    // Asked for last first, then the others while the pass runs or after.
    std::vector<std::pair<std::string, std::shared_ptr<collecting_receiver>>> requests;
    for (int i = 9; i >= 0; --i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.txt", i);
        requests.emplace_back(name, fetch(name));
    }
    for (const auto& [name, receiver] : requests) {
        const auto got = receiver->wait();
        ASSERT_TRUE(got) << name;
        EXPECT_EQ(got->first, item_status::ok) << name;
        EXPECT_TRUE(got->second == contents_.at(name)) << name;
    }
    EXPECT_EQ(items_->passes_started(), 1u);
    // Asked again: from the cache, no pass.
    const auto again = fetch("f03.txt")->wait();
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->second == contents_.at("f03.txt"));
    EXPECT_EQ(items_->passes_started(), 1u);
}

TEST_F(ArchiveItems, ARequestForTheItemBeingDecodedJoinsItMidway)
{
    open_solid(3, 200000, 2);
    // The first request holds the pass inside its item's first write.
    struct held_receiver : collecting_receiver {
        bool write(const char* data, std::size_t size) override
        {
            std::unique_lock lock(gate);
            inside = true;
            turn.notify_all();
            turn.wait(lock, [this] { return open; });
            lock.unlock();
            return collecting_receiver::write(data, size);
        }
        std::mutex gate;
        std::condition_variable turn;
        bool inside = false;
        bool open = false;
    };
    auto held = std::make_shared<held_receiver>();
    items_->fetch(indices_.at("f01.txt"), held, std::nullopt);
    {
        std::unique_lock lock(held->gate);
        ASSERT_TRUE(held->turn.wait_for(lock, std::chrono::seconds(60), [&] { return held->inside; }));
    }
    const auto late = fetch("f01.txt");
    const auto passed = fetch("f00.txt");
    {
        std::lock_guard lock(held->gate);
        held->open = true;
    }
    held->turn.notify_all();
    for (const auto& [name, receiver] :
         {std::pair{"f01.txt", std::shared_ptr<collecting_receiver>(held)}, {"f01.txt", late}, {"f00.txt", passed}}) {
        const auto got = receiver->wait();
        ASSERT_TRUE(got) << name;
        EXPECT_EQ(got->first, item_status::ok) << name;
        EXPECT_TRUE(got->second == contents_.at(name)) << name;
    }
    EXPECT_EQ(items_->passes_started(), 1u);
}

TEST_F(ArchiveItems, AClientThatReadsNothingDoesNotHoldUpTheOthersOfItsPass)
{
    // Items larger than a streamed item's queue, all kept by the cache: the
    // queue of the first holds views of the kept bytes and never fills, so the
    // pass goes on to the item that another request waits for.
    open_solid(3, browse::streamed_item::queue_limit + (1 << 20), 2);
    struct silent_log : browse::request_log {
        void request_decoded(std::string_view) override {}
        void item_failed(std::string_view, item_status) override {}
        void inner_archive_failed(std::string_view, std::string_view) override {}
    } log;
    auto unread = std::make_shared<browse::streamed_item>(browse::item_request{}, log);
    items_->fetch(indices_.at("f00.txt"), unread, std::nullopt);
    const auto later = fetch("f02.txt")->wait();
    ASSERT_TRUE(later) << "the pass waited for a client that reads nothing";
    EXPECT_EQ(later->first, item_status::ok);
    EXPECT_TRUE(later->second == contents_.at("f02.txt"));
    EXPECT_EQ(items_->passes_started(), 1u);

    // What the silent client gets once it reads: the first item, whole.
    std::string body;
    for (bool done = false; !done;) {
        std::optional<http::stream_event> event;
        unread->next([&event](http::stream_event e) { event = std::move(e); });
        ASSERT_TRUE(event) << "the item is complete: every event is ready";
        if (event->what == http::stream_event::kind::data)
            body += event->data;
        done = event->what == http::stream_event::kind::end || event->what == http::stream_event::kind::failed ||
               (event->what == http::stream_event::kind::head && event->complete);
        EXPECT_NE(event->what, http::stream_event::kind::failed);
    }
    EXPECT_TRUE(body == contents_.at("f00.txt"));
}

TEST_F(ArchiveItems, ReadAheadYieldsToARequestForAnotherBlock)
{
    // Two blocks: eight larger items, then one more in a block of its own.
    open_solid(8, 3 << 20, 1, {"-ms=8f"});
    contents_["g.txt"] = item_text(99, 1000);
    folder_.write_file("src2/g.txt", contents_["g.txt"]);
    test_support::run_7z({"a", "-bd", "-t7z", "-m0=lzma2", "-ms=on", folder_.path() + "solid.7z", "g.txt"},
                         folder_.path() + "src2");
    items_.reset();
    pool_.reset();
    file_ = std::make_unique<archive::archive_file>();
    details_.clear();
    indices_.clear();
    open(folder_.path() + "solid.7z", 1);
    ASSERT_TRUE(browse::block_layout(details_).block_of(indices_.at("g.txt")));

    // The first item of the large block; once it is done the pass reads ahead.
    ASSERT_TRUE(fetch("f00.txt")->wait());
    const auto other = fetch("g.txt")->wait();  // the one worker must come free for it
    ASSERT_TRUE(other);
    EXPECT_EQ(other->first, item_status::ok);
    EXPECT_EQ(other->second, contents_.at("g.txt"));
    EXPECT_EQ(cache_.find(indices_.at("f07.txt")), nullptr) << "the read-ahead went on to the block's end";
}

TEST_F(ArchiveItems, ADamagedBlockNeverPassesWrongBytesAsGood)
{
    open_solid(6, 300000, 2);
    pool_.reset();
    items_.reset();
    std::string bytes = test_support::read_file(folder_.path() + "solid.7z");
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
        bytes[i] = static_cast<char>(~bytes[i]);
    std::ofstream(folder_.path() + "damaged.7z", std::ios::binary) << bytes;
    file_ = std::make_unique<archive::archive_file>();
    details_.clear();
    open(folder_.path() + "damaged.7z", 2);

    int good = 0, failed = 0;
    std::vector<std::pair<std::string, std::shared_ptr<collecting_receiver>>> requests;
    for (const auto& [name, content] : contents_)
        requests.emplace_back(name, fetch(name));
    for (const auto& [name, receiver] : requests) {
        const auto got = receiver->wait();
        ASSERT_TRUE(got) << name << ": no answer";
        if (got->first == item_status::ok) {
            EXPECT_TRUE(got->second == contents_.at(name)) << name << ": wrong bytes passed as good";
            ++good;
        } else {
            ++failed;
        }
    }
    EXPECT_GE(good, 1) << "the items before the damage are still right";
    EXPECT_GE(failed, 1) << "the damaged item fails";
}

namespace {

// A search's tap: counts each item's bytes; the first item waits until the
// test lets it go on, so that a request can join the pass meanwhile.
class counting_tap : public archive::items_sink, private archive::item_sink {
public:
    archive::item_sink* begin_item(std::uint32_t) override
    {
        std::unique_lock lock(mutex_);
        started_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return go_; });
        ++items;
        return this;
    }
    void end_item(std::uint32_t, item_status status) override { ok += status == item_status::ok; }
    bool wanted() override { return true; }

    void wait_until_started()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    void let_go()
    {
        std::lock_guard lock(mutex_);
        go_ = true;
        changed_.notify_all();
    }

    int items = 0, ok = 0;
    std::uint64_t bytes = 0;

private:
    bool write(const char*, std::size_t size) override
    {
        bytes += size;
        return true;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false, go_ = false;
};

}  // namespace

TEST_F(ArchiveItems, ASearchDecodesABlockOnceForItselfAndTheRequestsThatJoinAndCachesOnlyTheirs)
{
    open_solid(10, 200000, 2);
    const std::uint32_t first = indices_.at("f00.txt"), wanted = indices_.at("f07.txt");
    const std::optional<std::uint32_t> block = items_->layout()->block_of(first);
    ASSERT_TRUE(block);
    counting_tap tap;
    std::mutex done_mutex;
    std::condition_variable done_changed;
    bool done = false;
    pool_->submit([&](archive::archive_file* archive) {
        items_->search_block(*block, *archive, tap, std::nullopt);
        std::lock_guard lock(done_mutex);
        done = true;
        done_changed.notify_all();
    });
    tap.wait_until_started();
    const auto joined = fetch("f07.txt");
    tap.let_go();
    const auto got = joined->wait();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->first, item_status::ok);
    EXPECT_EQ(got->second, contents_.at("f07.txt"));
    {
        std::unique_lock lock(done_mutex);
        ASSERT_TRUE(done_changed.wait_for(lock, std::chrono::seconds(60), [&] { return done; }));
    }
    EXPECT_EQ(tap.items, 10);
    EXPECT_EQ(tap.ok, 10);
    EXPECT_EQ(tap.bytes, 10u * 200000u);
    EXPECT_EQ(items_->passes_started(), 1u) << "the request joined the search's pass";
    EXPECT_EQ(cache_.used(), 200000u) << "only the item that a request waited for is kept";
    EXPECT_TRUE(cache_.find(wanted));
    EXPECT_FALSE(cache_.find(first));
}
