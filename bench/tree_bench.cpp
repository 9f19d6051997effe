// Builds content trees of three shapes and writes their listings, printing the
// build time, the listing time and the peak memory of each. Every shape runs in a
// child process of its own so that its peak memory is its own.
//
//   tree_bench            all shapes at 1,000,000 and 100,000 items
//   tree_bench SHAPE N    one shape at N items (flat, levels, deep)
#include "browse/content_tree.h"
#include "browse/json_listing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

long peak_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Item paths of one shape, made before the clock starts.
std::vector<std::string> make_paths(const std::string& shape, std::size_t count)
{
    std::vector<std::string> paths;
    std::mt19937_64 random(20261209);
    char name[64];
    if (shape == "flat") {
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, "file_%016llx.dat", static_cast<unsigned long long>(random()));
            paths.emplace_back(name);
        }
    } else if (shape == "levels") {
        // Three levels of 10 folders each, the files spread over the 1,000 leaves.
        for (std::size_t i = 0; i < count; ++i) {
            unsigned long long r = random();
            std::snprintf(name, sizeof name, "dir%llu/sub%llu/leaf%llu/file_%08llx.txt", r % 10, (r / 10) % 10,
                          (r / 100) % 10, (r >> 32) & 0xffffffffULL);
            paths.emplace_back(name);
        }
    } else {
        std::string path;
        path.reserve(count * 4);
        for (std::size_t i = 0; i < count; ++i)
            path += "dir/";
        paths.push_back(path + "leaf");
    }
    if (shape != "deep")
        std::shuffle(paths.begin(), paths.end(), random);
    return paths;
}

int run_shape(const std::string& shape, std::size_t count)
{
    std::vector<std::string> paths = make_paths(shape, count);
    long before_kib = peak_kib();

    auto start = clock_type::now();
    auto* tree = new browse::content_tree;
    for (std::size_t i = 0; i < paths.size(); ++i)
        tree->add_item(paths[i], static_cast<std::uint32_t>(i));
    double build = seconds_since(start);
    long built_kib = peak_kib();

    start = clock_type::now();
    std::string listing;
    browse::write_json(listing, tree->root());
    double list = seconds_since(start);
    long after_kib = peak_kib();

    start = clock_type::now();
    delete tree;
    double destroy = seconds_since(start);

    std::printf("%-6s %8zu items  build %6.3f s  list %6.3f s  destroy %6.3f s  tree %6.1f MiB = %4.0f B/item"
                "  peak with listing %6.1f MiB\n",
                shape.c_str(), count, build, list, destroy, (built_kib - before_kib) / 1024.0,
                (built_kib - before_kib) * 1024.0 / count, (after_kib - before_kib) / 1024.0);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3)
        return run_shape(argv[1], std::strtoull(argv[2], nullptr, 10));

    const char* runs[][2] = {{"flat", "100000"}, {"flat", "1000000"},   {"levels", "100000"},
                             {"levels", "1000000"}, {"deep", "10000"},   {"deep", "100000"}};
    for (auto& run : runs) {
        pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], run[0], run[1], static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    return 0;
}
