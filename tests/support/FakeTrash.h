#pragma once

#include "platform/data/Trash.h"

#include <cerrno>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

namespace quorvex::test {

/// A Trash that records what it was given and removes it (links as links), or fails with a
/// chosen code for chosen paths, nothing moved.
class FakeTrash final : public Trash {
public:
    bool available = true;
    /// Paths that fail, and the code they fail with.
    std::set<std::filesystem::path> failing;
    std::error_code failure{EIO, std::generic_category()};

    const std::vector<std::filesystem::path>& trashed() const { return m_trashed; }

    bool isAvailable() const override { return available; }
    std::error_code moveToTrash(const std::filesystem::path& path) override {
        if (failing.count(path))
            return failure;
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)))
            return {ENOENT, std::generic_category()};
        std::filesystem::remove_all(path, error);
        if (!error)
            m_trashed.push_back(path);
        return error;
    }

private:
    std::vector<std::filesystem::path> m_trashed;
};

} // namespace quorvex::test
