#pragma once

#include "actions/SnapshotFileOperations.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace quorvex::test {

/// The real file operations, numbered from 1 as they are called, with chosen calls failing
/// (EIO, nothing done) and a hook that runs before each call.
class FailingFileOperations final : public SnapshotFileOperations {
public:
    struct Call {
        std::string kind; // "create", "copy", "move", "remove", "list", "write"
        std::filesystem::path path;
        std::filesystem::path to; // copy and move only
    };

    std::set<int> failing;
    std::function<void(int number, const Call& call)> before;

    const std::vector<Call>& calls() const { return m_calls; }
    /// The number of the first call of this kind whose path ends with `suffix`; 0 when none.
    int numberOf(const std::string& kind, const std::string& suffix) const;

    void createFolder(const std::filesystem::path& folder, bool intermediate) override;
    void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void removeItem(const std::filesystem::path& item) override;
    std::vector<std::string> contentsOfFolder(const std::filesystem::path& folder) override;
    void writeFile(const std::filesystem::path& file, const QByteArray& bytes) override;

private:
    void enter(const std::string& kind, const std::filesystem::path& path,
               const std::filesystem::path& to = {});

    std::vector<Call> m_calls;
};

} // namespace quorvex::test
