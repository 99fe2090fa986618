#pragma once

#include <string>
#include <sys/types.h>

namespace quorvex::test {

/// A private Xvfb for tests that need a real X server. It takes the first free display number
/// (Xvfb -displayfd), so tests running side by side never share one, and is killed with the
/// object. `isRunning()` is false when Xvfb is not installed or did not start: skip the test then.
class XvfbServer final {
public:
    /// `screen` is Xvfb's WIDTHxHEIGHTxDEPTH.
    explicit XvfbServer(const std::string& screen = "640x480x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool isRunning() const { return !m_display.empty(); }
    /// The display name, such as ":3".
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

} // namespace quorvex::test
