// Times allocatedSize on a tree: the best of several runs after one warm-up run.
//
//   quorvex-measure-size <path> <threads (0 = all cores)> <runs>
// prints: <bytes> <best seconds>
#include "storage/files/AllocatedSize.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <path> <threads> <runs>\n", argv[0]);
        return 2;
    }
    const int threads = std::atoi(argv[2]);
    const int runs = std::atoi(argv[3]);
    std::int64_t bytes = quorvex::allocatedSize(argv[1], threads);
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        bytes = quorvex::allocatedSize(argv[1], threads);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::printf("%lld %.4f\n", static_cast<long long>(bytes), best);
    return 0;
}
