#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <string>

namespace quorvex::test {

/// A D-Bus session bus of the test's own, made the process's session bus, with a Secret Service
/// on it (GNOME Keyring, unlocked), with one that takes calls and never answers them (the same,
/// stopped), or with none at all, and none the bus could start. It must be made before the
/// process first touches the session bus, which Qt connects to once and then keeps. Its
/// processes end with it. skipReason() is not empty when the tools are not installed (a test may
/// skip for that); failure() when they are and did not come up (a test must fail).
class PrivateSessionBus final {
public:
    enum class Secrets { running, stopped, none };

    explicit PrivateSessionBus(Secrets secrets);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& skipReason() const { return m_skipReason; }
    const std::string& failure() const { return m_failure; }

private:
    QTemporaryDir m_folder;
    QProcess m_bus;
    qint64 m_keyringPid = 0;
    std::string m_skipReason;
    std::string m_failure;
};

} // namespace quorvex::test
