#include "actions/SnapshotFileOperations.h"

#include "storage/files/Cleanup.h"
#include "storage/files/FileError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(int error, const char* verb, const fs::path& path) {
    throw FileError(std::error_code(error, std::generic_category()), QString::fromLatin1(verb), path);
}

// Copies one item (not what lies below a folder). Answers whether it was a folder.
bool copyOne(const fs::path& from, const fs::path& to) {
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0)
        fail(errno, "copied", from);
    if (S_ISDIR(info.st_mode)) {
        // The owner keeps write access so the copy can be filled and later removed.
        if (::mkdir(to.c_str(), (info.st_mode & 07777) | S_IRWXU) != 0)
            fail(errno, "copied", from);
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        std::error_code error;
        const fs::path target = fs::read_symlink(from, error);
        if (error)
            fail(error.value(), "copied", from);
        if (::symlink(target.c_str(), to.c_str()) != 0)
            fail(errno, "copied", from);
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        std::error_code error;
        fs::copy_file(from, to, fs::copy_options::none, error);
        if (error)
            fail(error.value(), "copied", from);
    }
    return false;
}

class LocalFileOperations final : public SnapshotFileOperations {
public:
    void createFolder(const fs::path& folder, bool intermediate) override {
        std::error_code error;
        if (intermediate) {
            fs::create_directories(folder, error);
            if (!error && !fs::is_directory(folder, error))
                error = std::make_error_code(std::errc::not_a_directory);
            if (error)
                fail(error.value(), "created", folder);
        } else if (::mkdir(folder.c_str(), 0755) != 0) {
            fail(errno, "created", folder);
        }
    }

    void copyItem(const fs::path& from, const fs::path& to) override {
        // An explicit stack of folders still to fill instead of recursion.
        std::vector<std::pair<fs::path, fs::path>> folders;
        if (copyOne(from, to))
            folders.emplace_back(from, to);
        while (!folders.empty()) {
            const auto [source, target] = std::move(folders.back());
            folders.pop_back();
            std::error_code error;
            fs::directory_iterator it(source, error);
            if (error)
                fail(error.value(), "copied", source);
            for (const fs::directory_iterator end; it != end; it.increment(error)) {
                if (copyOne(it->path(), target / it->path().filename()))
                    folders.emplace_back(it->path(), target / it->path().filename());
            }
            if (error)
                fail(error.value(), "copied", source);
        }
    }

    void moveItem(const fs::path& from, const fs::path& to) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
            fail(errno, "moved", from);
    }

    void removeItem(const fs::path& item) override { Cleanup::removeItem(item); }

    std::vector<std::string> contentsOfFolder(const fs::path& folder) override {
        std::vector<std::string> names;
        std::error_code error;
        fs::directory_iterator it(folder, error);
        for (const fs::directory_iterator end; !error && it != end; it.increment(error))
            names.push_back(it->path().filename().string());
        if (error)
            fail(error.value(), "read", folder);
        return names;
    }

    void writeFile(const fs::path& file, const QByteArray& bytes) override {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            fail(errno, "written", file);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t written =
                ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                const int error = written < 0 ? errno : EIO;
                ::close(fd);
                fail(error, "written", file);
            }
            done += written;
        }
        if (::close(fd) != 0)
            fail(errno, "written", file);
    }
};

} // namespace

SnapshotFileOperations& SnapshotFileOperations::local() {
    static LocalFileOperations operations;
    return operations;
}

} // namespace quorvex
