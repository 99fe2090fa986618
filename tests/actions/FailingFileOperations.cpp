#include "FailingFileOperations.h"

#include "storage/files/FileError.h"

#include <cerrno>

namespace quorvex::test {
namespace fs = std::filesystem;

int FailingFileOperations::numberOf(const std::string& kind, const std::string& suffix) const {
    for (size_t i = 0; i < m_calls.size(); ++i) {
        const std::string path = m_calls[i].path.string();
        if (m_calls[i].kind == kind && path.size() >= suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            return static_cast<int>(i + 1);
    }
    return 0;
}

void FailingFileOperations::enter(const std::string& kind, const fs::path& path, const fs::path& to) {
    m_calls.push_back({kind, path, to});
    const int number = static_cast<int>(m_calls.size());
    if (before)
        before(number, m_calls.back());
    if (failing.count(number))
        throw FileError(std::error_code(EIO, std::generic_category()), QStringLiteral("handled"), path);
}

void FailingFileOperations::createFolder(const fs::path& folder, bool intermediate) {
    enter("create", folder);
    local().createFolder(folder, intermediate);
}

void FailingFileOperations::copyItem(const fs::path& from, const fs::path& to) {
    enter("copy", from, to);
    local().copyItem(from, to);
}

void FailingFileOperations::moveItem(const fs::path& from, const fs::path& to) {
    enter("move", from, to);
    local().moveItem(from, to);
}

void FailingFileOperations::removeItem(const fs::path& item) {
    enter("remove", item);
    local().removeItem(item);
}

std::vector<std::string> FailingFileOperations::contentsOfFolder(const fs::path& folder) {
    enter("list", folder);
    return local().contentsOfFolder(folder);
}

void FailingFileOperations::writeFile(const fs::path& file, const QByteArray& bytes) {
    enter("write", file);
    local().writeFile(file, bytes);
}

} // namespace quorvex::test
