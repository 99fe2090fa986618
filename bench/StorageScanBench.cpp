// The storage cleaner's full scan on a synthetic developer folder, against `du -s` of the same
// folders (bench/storage-scan.sh runs both).
//
//   quorvex-storage-scan make <home> <files>   writes the folder: DerivedData projects, device
//                                              support, Xcode logs and three caches, <files>
//                                              files of 0-8 KiB in folders of 100, fixed seed
//   quorvex-storage-scan scan <home>           scans every kind at once with HOME=<home>; prints the bytes
//                                              of all items, the seconds, and the peak resident
//                                              memory in KiB
#include "storage/engine/CategoryScan.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int make(const fs::path& home, long files) {
    const fs::path library = home / "Library";
    const std::vector<fs::path> places = {
        library / "Developer/Xcode/DerivedData",
        library / "Developer/Xcode/iOS DeviceSupport",
        library / "Logs/Xcode",
        library / "Caches/com.apple.dt.Xcode",
        library / "Caches/CocoaPods",
        library / "Developer/CoreSimulator/Caches",
    };
    std::mt19937_64 random(20261210);
    const std::string bytes(8192, 'x');
    long made = 0;
    for (long folder = 0; made < files; ++folder) {
        const fs::path& place = places[static_cast<size_t>(folder) % places.size()];
        // Entries of each place (projects, versions, logs) with nested folders below them.
        fs::path where = place / ("Entry" + std::to_string(folder % 50) + "-x" + std::to_string(folder % 7));
        if (place.filename() == "iOS DeviceSupport")
            where =
                place / (std::to_string(12 + folder % 6) + "." + std::to_string(folder % 50) + " (21A329)");
        where /= "f" + std::to_string(folder);
        fs::create_directories(where);
        for (int i = 0; i < 100 && made < files; ++i, ++made) {
            const int fd = ::open((where / std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const size_t size = static_cast<size_t>(random() % bytes.size());
            if (fd < 0 || ::write(fd, bytes.data(), size) != static_cast<ssize_t>(size))
                return 1;
            ::close(fd);
        }
    }
    return 0;
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atol(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "scan") == 0) {
        ::setenv("HOME", argv[2], 1);
        ::setenv("QUORVEX_XCRUN", "/nonexistent/xcrun", 1); // simulators and runtimes: nothing
        ::setenv("QUORVEX_XCODE_SELECT", "/nonexistent/xcode-select", 1);
        QCoreApplication application(argc, argv);
        const auto start = std::chrono::steady_clock::now();
        long long total = 0;
        const auto now = [] { return QDateTime::currentDateTimeUtc(); };
        // Every kind at once, as the cleaner model scans them.
        std::vector<std::future<quorvex::CleanupCategory>> scans;
        for (auto kind : quorvex::CleanupCategory::allKinds)
            scans.push_back(std::async(std::launch::async,
                                       [kind, now] { return quorvex::CategoryScan::scan(kind, now); }));
        for (auto& scan : scans)
            for (const auto& item : scan.get().items)
                total += item.size;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%lld %.3f %ld\n", total, seconds, peakKiB());
        return 0;
    }
    std::fprintf(stderr, "usage: %s make <home> <files> | scan <home>\n", argv[0]);
    return 2;
}
