// The real program under load and abuse over plain sockets: many clients that
// reset in the middle of a large reply, more connections than it has
// descriptors, a thousand connections that never send a request, and two
// hundred busy clients. Each time it goes on serving whole replies. The figures
// are printed; no speed is asserted.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <thread>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/archive_tools.h"
#include "tests/support/known_bytes.h"
#include "tests/support/process_stats.h"
#include "tests/support/raw_http.h"
#include "tests/support/served_archive.h"
#include "tests/support/temp_folder.h"
#include "tests/support/timed_http.h"

using namespace test_support;

namespace {

using clock_type = std::chrono::steady_clock;

// A reply still open after this long hangs (generous for the sanitizers).
constexpr std::chrono::seconds reply_limit{60};

constexpr std::size_t big_size = 12u << 20;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

class HostileLoad : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        work_ = new temp_folder;
        big_ = new std::string(known_bytes(big_size, 21));
        item_ = new std::string(known_bytes(64 << 10, 22));
        work_->write_file("content/big.bin", *big_);
        work_->write_file("content/item.bin", *item_);
        run_7z({"a", "-bd", "-tzip", "-mx=1", work_->path() + "load.zip", "big.bin", "item.bin"},
               work_->path() + "content");
    }

    static void TearDownTestSuite()
    {
        delete work_;
        delete big_;
        delete item_;
    }

    static std::string archive() { return work_->path() + "load.zip"; }

    // The large item, fetched whole and byte-exact: no worker is stuck.
    static void expect_big_item_whole(unsigned short port, const char* after)
    {
        const auto start = clock_type::now();
        const timed_reply reply = timed_get(port, "/ArchiveContent/big.bin", reply_limit);
        std::printf("%s: the %zu MiB item then served whole in %.2f s\n", after, big_size >> 20, seconds_since(start));
        EXPECT_TRUE(reply.ended) << after;
        EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK") << after;
        EXPECT_TRUE(reply.body == *big_) << after << ": " << reply.body_size << " bytes, not the item";
    }

    static temp_folder* work_;
    static std::string* big_;
    static std::string* item_;
};

temp_folder* HostileLoad::work_ = nullptr;
std::string* HostileLoad::big_ = nullptr;
std::string* HostileLoad::item_ = nullptr;

}  // namespace

// A regression test: a worker that finishes an item hands its event to the
// connection through a callback that holds it; stopping right after a failed
// item's reply once let that release come after the event loop was gone (a
// use-after-free under the sanitizers). The program now closes connections and
// joins its workers before the server goes.
TEST_F(HostileLoad, StoppingRightAfterAFailedItemIsClean)
{
    temp_folder folder;
    folder.write_file("content/plain.txt", std::string(4000, 'x'));
    run_7z({"a", "-bd", "-tzip", "-mx=0", folder.path() + "damaged.zip", "plain.txt"}, folder.path() + "content");
    std::string bytes = read_file(folder.path() + "damaged.zip");
    const std::size_t at = bytes.find(std::string(100, 'x'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'y';  // stored: the damage reaches the CRC check
    const std::string damaged = folder.write_file("damaged.zip", bytes);

    int unclean = 0;
    for (int i = 0; i < 30; ++i) {
        served_archive server(VORSEL_EXECUTABLE, damaged);
        ASSERT_NE(server.port(), 0);
        EXPECT_EQ(timed_get(server.port(), "/ArchiveContent/plain.txt", reply_limit).status_line,
                  "HTTP/1.0 500 Internal Server Error");
        server.program().signal(SIGTERM);
        unclean += server.program().wait_for_exit() != 0;
    }
    EXPECT_EQ(unclean, 0) << "stops right after a failed item that did not end with status 0, of 30";
}

TEST_F(HostileLoad, AThousandResetsMidReplyStopTheirExtractions)
{
    served_archive server(VORSEL_EXECUTABLE, archive());
    ASSERT_NE(server.port(), 0);
    const auto start = clock_type::now();
    int started = 0;
    for (int i = 0; i < 1000; ++i) {
        const int fd = connect_loopback(server.port());
        ASSERT_GE(fd, 0) << "connection " << i;
        // The head and a little of the body, then a reset: the extraction is
        // under way and its client is gone.
        started += holds_head_and(start_get(fd, "/ArchiveContent/big.bin", 16384), 16384);
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        close(fd);
    }
    const double resets_time = seconds_since(start);
    // Extractions that went on for clients that left would keep the server busy.
    const double cpu_before = cpu_seconds(server.program().pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double idle_cpu = cpu_seconds(server.program().pid()) - cpu_before;
    std::printf("1000 resets mid-reply in %.2f s (%d of them got their head and 16 KiB first); "
                "the server then used %.3f s of processor time in 1 s\n",
                resets_time, started, idle_cpu);
    // Every client got its reply started: none waited behind a stuck worker.
    EXPECT_EQ(started, 1000);
    expect_big_item_whole(server.port(), "after 1000 resets");
}

TEST_F(HostileLoad, RunningOutOfDescriptorsPausesAcceptingUntilSomeAreFree)
{
#ifdef VORSEL_SANITIZED_BUILD
    // The sanitizers' runtime needs descriptors of its own for its checks and
    // reports false errors when there are none left.
    GTEST_SKIP() << "not under the sanitizers";
#endif
    process_options options;
    options.max_open_files = 64;
    served_archive server(VORSEL_EXECUTABLE, archive(), options);
    ASSERT_NE(server.port(), 0);
    std::vector<int> held;
    for (int i = 0; i < 200; ++i) {
        const int fd = connect_loopback(server.port());
        ASSERT_GE(fd, 0) << "connection " << i;
        held.push_back(fd);
    }
    // Starved: what the server spends while it cannot accept, over a second in
    // which one more client waits for the listing.
    const double cpu_before = cpu_seconds(server.program().pid());
    const bool answered_while_starved =
        timed_get(server.port(), "/ArchiveContent", std::chrono::seconds(1)).status_line == "HTTP/1.0 200 OK";
    const double starved_cpu = cpu_seconds(server.program().pid()) - cpu_before;
    for (const int fd : held)
        close(fd);

    const auto released = clock_type::now();
    timed_reply reply;
    while (reply.status_line != "HTTP/1.0 200 OK" && seconds_since(released) < reply_limit.count())
        reply = timed_get(server.port(), "/ArchiveContent", std::chrono::seconds(5));
    std::printf("200 connections against 64 descriptors: a request made then was %s within 1 s, in which the "
                "server used %.3f s of processor time; served again %.3f s after their release\n",
                answered_while_starved ? "answered" : "not answered", starved_cpu, seconds_since(released));
    EXPECT_EQ(reply.status_line, "HTTP/1.0 200 OK") << "the server never served again";
    expect_big_item_whole(server.port(), "after running out of descriptors");
}

TEST_F(HostileLoad, AThousandIdleConnectionsAreClosedWhileOthersAreServed)
{
    // The test holds a thousand connections and the server as many: both need
    // more descriptors than the usual soft limit, and the server inherits ours.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    ASSERT_GE(limit.rlim_cur, 1100u) << "the hard descriptor limit is too low for this test";

    process_options options;
    options.environment = {"VORSEL_HEADER_TIMEOUT_MS=500"};
    served_archive server(VORSEL_EXECUTABLE, archive(), options);
    ASSERT_NE(server.port(), 0);
    std::vector<pollfd> idle;
    for (int i = 0; i < 1000; ++i) {
        const int fd = connect_loopback(server.port());
        ASSERT_GE(fd, 0) << "connection " << i;
        if (i % 2)  // half of them send the start of a request, the others nothing
            send(fd, "GET /ArchiveContent HTTP/1.0\r\nHost: 127", 39, MSG_NOSIGNAL);
        idle.push_back({fd, POLLIN, 0});
    }
    const auto opened = clock_type::now();

    // Until every idle connection is closed, other requests go on being answered.
    std::size_t closed = 0, replied_to_idle = 0, asked = 0, served = 0;
    while (closed < idle.size() && seconds_since(opened) < reply_limit.count()) {
        const timed_reply reply = timed_get(server.port(), "/ArchiveContent/item.bin", reply_limit);
        ++asked;
        served += reply.status_line == "HTTP/1.0 200 OK" && reply.body == *item_;
        if (poll(idle.data(), idle.size(), 20) <= 0)
            continue;
        for (pollfd& p : idle) {
            if (p.fd < 0 || !p.revents)
                continue;
            char byte;
            replied_to_idle += recv(p.fd, &byte, 1, 0) > 0;
            close(p.fd);
            p.fd = -1;
            ++closed;
        }
    }
    std::printf("1000 idle connections: %zu closed by the 0.5 s header timeout within %.2f s of the last connect; "
                "%zu other requests answered meanwhile\n",
                closed, seconds_since(opened), served);
    EXPECT_EQ(closed, idle.size());
    EXPECT_EQ(served, asked) << "requests beside the idle connections went unanswered";
    EXPECT_EQ(replied_to_idle, 0u) << "an idle connection got a reply";
    for (const pollfd& p : idle) {
        if (p.fd >= 0)
            close(p.fd);
    }
}

TEST_F(HostileLoad, TwoHundredClientsWithWrkGetOnlySuccesses)
{
    served_archive server(VORSEL_EXECUTABLE, archive());
    ASSERT_NE(server.port(), 0);
    const std::regex requests(R"((\d+) requests in ([0-9.]+)s)");
    for (const std::string target : {"/ArchiveContent", "/ArchiveContent/item.bin"}) {
        // A reply that takes longer than --timeout counts as a socket error.
        const process_result run =
            run_process("/usr/bin/wrk", {"-t2", "-c200", "-d10s", "--timeout", "10s", "-H", "Connection: close",
                                         "http://127.0.0.1:" + std::to_string(server.port()) + target});
        ASSERT_EQ(run.exit_status, 0) << "wrk (setup.sh --test installs it): " << run.err;
        std::smatch counts;
        ASSERT_TRUE(std::regex_search(run.out, counts, requests)) << run.out;
        std::printf("wrk, 200 connections on %s: %s requests in %s s\n", target.c_str(), counts[1].str().c_str(),
                    counts[2].str().c_str());
        EXPECT_GT(std::stoull(counts[1].str()), 0u) << run.out;
        // wrk prints these lines only when there is something to count.
        EXPECT_EQ(run.out.find("Socket errors"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Non-2xx or 3xx responses"), std::string::npos) << run.out;
    }
    EXPECT_TRUE(timed_get(server.port(), "/ArchiveContent/item.bin", reply_limit).body == *item_);
}
