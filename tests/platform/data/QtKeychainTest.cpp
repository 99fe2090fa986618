// The QtKeychain backend against a real Secret Service: a private session bus with
// gnome-keyring-daemon on it, started by the test and ended with it. Skips when either is missing.
#include "platform/data/qtkeychain/QtKeychain.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

namespace quorvex {
namespace {

// Starts dbus-daemon and an unlocked gnome-keyring for this process. Must run before the
// process first touches the session bus, which Qt connects to once and then keeps.
class SecretServiceSession final {
public:
    SecretServiceSession() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty() ||
            QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty()) {
            m_skipReason = "dbus-daemon or gnome-keyring-daemon is not installed (scripts/install-deps)";
            return;
        }
        const QString runtime = QDir::homePath() + "/runtime";
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("XDG_RUNTIME_DIR", runtime.toUtf8().constData(), 1);
        m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!m_bus.waitForStarted(5000) || !m_bus.waitForReadyRead(5000)) {
            m_skipReason = "dbus-daemon did not start";
            return;
        }
        const QByteArray address = m_bus.readLine().trimmed();
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);
        QProcess keyring;
        keyring.start("gnome-keyring-daemon", {"--unlock", "--components=secrets", "--daemonize"});
        keyring.write("test-password");
        keyring.closeWriteChannel();
        if (!keyring.waitForFinished(10'000) || keyring.exitCode() != 0) {
            m_skipReason = "gnome-keyring-daemon did not start";
            return;
        }
        // The daemon prints GNOME_KEYRING_CONTROL and its pid; end it with the bus.
        for (const QByteArray& line : keyring.readAllStandardOutput().split('\n'))
            if (line.startsWith("GNOME_KEYRING_PID="))
                m_keyringPid = line.mid(18).toLongLong();
    }
    ~SecretServiceSession() {
        if (m_keyringPid > 0)
            QProcess::execute("kill", {QString::number(m_keyringPid)});
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            if (!m_bus.waitForFinished(5000))
                m_bus.kill();
        }
    }
    const std::string& skipReason() const { return m_skipReason; }

private:
    QProcess m_bus;
    qint64 m_keyringPid = 0;
    std::string m_skipReason;
};

TEST(QtKeychainTest, WritesReplacesReadsAndRemovesAnItem) {
    SecretServiceSession session;
    if (!session.skipReason().empty())
        GTEST_SKIP() << session.skipReason();
    QtKeychain keychain;
    ASSERT_TRUE(keychain.isAvailable());
    const QString service = "com.zelmora.Quorvex.test";
    EXPECT_FALSE(keychain.read(service, "KEY1"));
    const Keychain::Status first = keychain.write(service, "KEY1", "Test key", "first\n");
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_EQ(keychain.read(service, "KEY1"), QByteArray("first\n"));
    ASSERT_TRUE(keychain.write(service, "KEY1", "Test key", "second").ok);
    EXPECT_EQ(keychain.read(service, "KEY1"), QByteArray("second"));
    EXPECT_FALSE(keychain.read(service, "KEY2"));
    EXPECT_TRUE(keychain.remove(service, "KEY1").ok);
    EXPECT_FALSE(keychain.read(service, "KEY1"));
    EXPECT_TRUE(keychain.remove(service, "KEY1").ok) << "removing a missing item succeeds";
}

} // namespace
} // namespace quorvex
