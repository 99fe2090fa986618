#pragma once

#include <string>

namespace quorvex::test {

/// A fresh temporary HOME for one test process, so settings, fixtures and the program's home
/// folder are the test's own; the XDG folders are unset so they follow it, and xcrun points at a
/// path that does not exist until a test installs the fake with its own rules (no real Xcode tool
/// may ever run from a test). The folder is removed when this ends.
class TestHome final {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    /// False when no temporary folder could be made.
    bool isReady() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace quorvex::test
