#pragma once

#include <filesystem>
#include <functional>

namespace quorvex::test {

/// The answer of inPrivateMounts when this system does not let a test make its own mounts.
constexpr int kNoMounts = 200;

/// Runs `body` in a child process with a private mount namespace (root, or a user allowed to
/// unshare it), so every mount the body makes goes with the child and the rest of the system
/// never sees it. Answers the body's answer (its exit status), kNoMounts when the namespace
/// cannot be made, 255 when the child died. The body runs in a forked copy of the test: it may
/// check and report through its answer, not through gtest.
int inPrivateMounts(const std::function<int()>& body);

/// Inside inPrivateMounts: `source` bind-mounted on `target`, or a fresh tmpfs (another drive)
/// on `target`. False when the mount failed.
bool bindMount(const std::filesystem::path& source, const std::filesystem::path& target);
bool mountTmpfs(const std::filesystem::path& target);

} // namespace quorvex::test
