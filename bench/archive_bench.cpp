// Opening, listing and extracting real archives, side by side with the 7z tool
// on the same archives. Every measurement runs in a child process of its own, so
// that its time includes loading the plug-in library, as the tool's does, and
// its peak memory is its own. Archives come from bench/make_archives.py.
//
//   archive_bench FOLDER
#include "archive/archive_file.h"
#include "browse/content_tree.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <utility>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
constexpr int runs = 5;

struct measurement {
    double seconds;
    long peak_kib;
};

// Runs `work` in a child process whose standard output goes to /dev/null.
measurement in_child(const std::function<int()>& work)
{
    const auto start = clock_type::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        _exit(work());
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "child failed (status %d)\n", status);
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

// The 7z tool with TZ=UTC.
measurement anchor(const std::vector<std::string>& arguments)
{
    return in_child([&] {
        std::vector<char*> argv{const_cast<char*>("7z")};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        setenv("TZ", "UTC", 1);
        execvp("7z", argv.data());
        return 127;
    });
}

// The best of `runs` runs of each, taken in turns so that a busy spell of the
// machine falls on both alike.
std::pair<measurement, measurement> best_of(const std::function<measurement()>& ours,
                                            const std::function<measurement()>& theirs)
{
    std::pair<measurement, measurement> best{ours(), theirs()};
    for (int i = 1; i < runs; ++i) {
        const measurement a = ours();
        const measurement b = theirs();
        if (a.seconds < best.first.seconds)
            best.first = a;
        if (b.seconds < best.second.seconds)
            best.second = b;
    }
    return best;
}

// Loads the library and lists `archive` into `tree` through `file`, as start-up does.
int load_and_list(CCodecs& codecs, archive::archive_file& file, const std::string& archive,
                  browse::content_tree& tree)
{
    if (codecs.Load() != S_OK)
        return 1;
    codecs.AddRef();
    file.open(codecs, archive);
    file.list_items([&tree](std::string_view path, std::uint32_t index) { tree.add_item(path, index); });
    return 0;
}

void bench_listing(const std::string& folder, const char* name)
{
    const std::string archive = folder + "/" + name;
    const auto [ours, theirs] = best_of(
        [&] {
            return in_child([&] {
                CCodecs codecs;
                archive::archive_file file;
                browse::content_tree tree;
                return load_and_list(codecs, file, archive, tree);
            });
        },
        [&] { return anchor({"l", "-ba", archive, "no-such-item"}); });
    std::printf("open+list %-9s vorsel %.3f s  7z l %.3f s  ratio %.2f (target <= 1.5)\n", name, ours.seconds,
                theirs.seconds, ours.seconds / theirs.seconds);
}

void bench_extraction(const std::string& folder, const char* name)
{
    const std::string archive = folder + "/" + name;
    const auto [ours, theirs] = best_of(
        [&] {
            return in_child([&] {
                CCodecs codecs;
                archive::archive_file file;
                browse::content_tree tree;
                if (load_and_list(codecs, file, archive, tree) != 0)
                    return 1;
                std::string target;
                archive::string_sink sink(target);
                const archive::item_status status = file.extract(0, sink);
                return status == archive::item_status::ok && target.size() == 256u * 1024 * 1024 ? 0 : 1;
            });
        },
        [&] { return anchor({"e", "-so", archive, "big.bin"}); });
    const double item_kib = 256.0 * 1024;
    std::printf("extract   %-9s vorsel %.3f s  7z e -so %.3f s  ratio %.2f (target <= 1.1)  "
                "peak %ld KiB = %.2f x item (target <= 1.3)\n",
                name, ours.seconds, theirs.seconds, ours.seconds / theirs.seconds, ours.peak_kib,
                static_cast<double>(ours.peak_kib) / item_kib);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_bench FOLDER (made by bench/make_archives.py)\n");
        return 1;
    }
    const std::string folder = argv[1];
    std::printf("best of %d runs, each in a child process including the library load\n", runs);
    bench_listing(folder, "flat.zip");
    bench_listing(folder, "tree.7z");
    bench_extraction(folder, "big.7z");
    bench_extraction(folder, "big.zip");
}
