// Makes, measures and removes a chain of folders deeper than any path can name.
//
//   quorvex-deep-tree make <folder> <depth>   a chain of <depth> folders "d", a 4 KiB file in every
//                                             tenth; prints the allocated bytes of those files
//   quorvex-deep-tree size <folder>           prints allocatedSize (all cores) and its seconds
//   quorvex-deep-tree remove <item>           removes the item with the guarded delete (it must lie
//                                             in $HOME/Library) and prints the seconds it took
#include "storage/files/AllocatedSize.h"
#include "storage/files/Cleanup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int make(const char* root, int depth) {
    std::filesystem::create_directories(root);
    int folder = ::open(root, O_RDONLY | O_DIRECTORY);
    long long bytes = 0;
    const std::string block(4096, 'x');
    for (int level = 0; level < depth && folder >= 0; ++level) {
        if (level % 10 == 0) {
            const int file = ::openat(folder, "f", O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (::write(file, block.data(), block.size()) != static_cast<ssize_t>(block.size()))
                return 1;
            struct stat info {};
            ::fstat(file, &info);
            bytes += static_cast<long long>(info.st_blocks) * 512;
            ::close(file);
        }
        ::mkdirat(folder, "d", 0755);
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    ::close(folder);
    std::printf("%lld\n", bytes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atoi(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "size") == 0) {
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t bytes = quorvex::allocatedSize(argv[2]);
        std::printf("%lld %.3f\n", static_cast<long long>(bytes), secondsSince(start));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "remove") == 0) {
        const auto start = std::chrono::steady_clock::now();
        const std::error_code error = quorvex::Cleanup::removeItem(argv[2], std::nothrow);
        std::printf("%.3f\n", secondsSince(start));
        return error ? 1 : 0;
    }
    std::fprintf(stderr, "usage: %s make <folder> <depth> | size <folder> | remove <item>\n", argv[0]);
    return 2;
}
