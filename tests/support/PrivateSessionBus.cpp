#include "support/PrivateSessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <cstdlib>

namespace quorvex::test {

namespace {

// The session bus's own rules without its service folders: nothing can be started on demand, so
// a name nobody owns stays unowned.
const char* const kBareSessionConfig =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateSessionBus::PrivateSessionBus(Secrets secrets) {
    const bool keyring = secrets != Secrets::none;
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty() ||
        (keyring && QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty())) {
        m_skipReason = "dbus-daemon or gnome-keyring-daemon is not installed (scripts/install-deps)";
        return;
    }
    const QString runtime = m_folder.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ::setenv("XDG_RUNTIME_DIR", runtime.toUtf8().constData(), 1);
    QStringList arguments{"--nofork", "--print-address=1"};
    if (keyring) {
        arguments.prepend("--session");
    } else {
        QFile config(m_folder.path() + "/session.conf");
        config.open(QIODevice::WriteOnly);
        config.write(kBareSessionConfig);
        config.close();
        arguments.prepend("--config-file=" + config.fileName());
    }
    m_bus.start("dbus-daemon", arguments);
    if (!m_bus.waitForStarted(5000) || !m_bus.waitForReadyRead(5000)) {
        m_failure = "dbus-daemon did not start";
        return;
    }
    const QByteArray address = m_bus.readLine().trimmed();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);
    if (!keyring)
        return;
    QProcess daemon;
    daemon.start("gnome-keyring-daemon", {"--unlock", "--components=secrets", "--daemonize"});
    daemon.write("test-password");
    daemon.closeWriteChannel();
    if (!daemon.waitForFinished(10'000) || daemon.exitCode() != 0) {
        m_failure = "gnome-keyring-daemon did not start";
        return;
    }
    // The daemon's pid, from the bus that knows who owns the Secret Service's name (asked over a
    // connection of the fixture's own, so the process's session bus is left untouched).
    QDBusConnection probe =
        QDBusConnection::connectToBus(QString::fromUtf8(address), "private-session-probe");
    for (int i = 0; i < 500 && m_keyringPid <= 0; ++i) {
        const QDBusReply<uint> pid = probe.interface()->servicePid("org.freedesktop.secrets");
        if (pid.isValid())
            m_keyringPid = pid.value();
        else
            QThread::msleep(10);
    }
    QDBusConnection::disconnectFromBus("private-session-probe");
    if (m_keyringPid <= 0) {
        m_failure = "gnome-keyring-daemon did not take the Secret Service's name";
        return;
    }
    // Stopped, it keeps its name on the bus: calls to it queue up and are never answered.
    if (secrets == Secrets::stopped)
        ::kill(pid_t(m_keyringPid), SIGSTOP);
}

PrivateSessionBus::~PrivateSessionBus() {
    // By its pid only; SIGKILL ends a stopped process too.
    if (m_keyringPid > 0)
        ::kill(pid_t(m_keyringPid), SIGKILL);
    if (m_bus.state() != QProcess::NotRunning) {
        m_bus.kill();
        m_bus.waitForFinished(5000);
    }
}

} // namespace quorvex::test
