// Writes the benchmark tree of allocatedSize: 200,000 files in 2,000 folders from a fixed seed,
// so every run and every machine measures the same tree. Beside the ordinary files (0 B to 70 KB,
// sizes log-uniform, a tenth of them hidden) it holds what a walker must not miscount: a hard link,
// links to big folders outside the tree, a dangling link, a 1 GiB sparse file and a FIFO.
//
//   quorvex-make-size-tree <tree> <outside>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 2000;
constexpr int kFiles = 200'000;
constexpr std::uint64_t kSeed = 20261210;
constexpr double kMaxSize = 70.0 * 1024;

// Our own mapping from the generator's raw output (whose sequence the standard fixes), since the
// standard distributions may differ between library versions.
double unit(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1.0p-53;
}

void writeFile(const fs::path& path, std::size_t size, const std::vector<char>& filler) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::write(fd, filler.data(), std::min(size - done, filler.size()));
        if (written <= 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        done += static_cast<std::size_t>(written);
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <tree> <outside>\n", argv[0]);
        return 2;
    }
    const fs::path tree = argv[1];
    const fs::path outside = argv[2];
    fs::remove_all(tree);
    fs::remove_all(outside);
    std::mt19937_64 random(kSeed);
    const std::vector<char> filler(64 * 1024, 'q');

    // Folders: 20 at the top, each with 9 children, each of those with 10 more; 2,000 in all.
    std::vector<fs::path> folders;
    for (int top = 0; top < 20; ++top) {
        const fs::path a = tree / ("top-" + std::to_string(top));
        folders.push_back(a);
        for (int mid = 0; mid < 9; ++mid) {
            const fs::path b = a / ("mid-" + std::to_string(mid));
            folders.push_back(b);
            for (int leaf = 0; leaf < 10; ++leaf)
                folders.push_back(b / ("leaf-" + std::to_string(leaf)));
        }
    }
    for (const fs::path& folder : folders)
        fs::create_directories(folder);

    fs::path linked;
    for (int i = 0; i < kFiles; ++i) {
        const fs::path& folder = folders[static_cast<std::size_t>(i) % folders.size()];
        const auto size = static_cast<std::size_t>(std::exp(unit(random) * std::log(kMaxSize + 1)) - 1);
        const bool hidden = random() % 10 == 0;
        const fs::path file = folder / ((hidden ? ".file-" : "file-") + std::to_string(i));
        writeFile(file, size, filler);
        if (i == 7)
            linked = file;
    }

    // The traps, each replacing none of the 200,000 ordinary files.
    fs::create_hard_link(linked, folders[1500] / "hard-link");
    for (int big = 0; big < 3; ++big) {
        const fs::path target = outside / ("big-" + std::to_string(big));
        fs::create_directories(target);
        for (int i = 0; i < 200; ++i)
            writeFile(target / ("chunk-" + std::to_string(i)), 64 * 1024, filler);
        fs::create_symlink(target, folders[static_cast<std::size_t>(big) * 600] /
                                       ("link-to-big-" + std::to_string(big)));
    }
    fs::create_symlink(outside / "big-0/chunk-0", folders[3] / "link-to-big-file");
    fs::create_symlink(outside / "missing", folders[4] / "dangling-link");
    const fs::path sparse = folders[5] / "sparse-1GiB.img";
    writeFile(sparse, 4096, filler);
    fs::resize_file(sparse, std::uintmax_t(1) << 30);
    if (::mkfifo((folders[6] / "pipe").c_str(), 0644) != 0) {
        std::perror("mkfifo");
        return 1;
    }
    std::printf("%zu folders, %d files, a hard link, 4 links out, a sparse file and a FIFO in %s\n",
                folders.size(), kFiles, tree.c_str());
    return 0;
}
