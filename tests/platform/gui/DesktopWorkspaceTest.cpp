#include "platform/gui/desktop/DesktopWorkspace.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace quorvex;

namespace {

// Plays the file manager on a private bus and records what it was asked to show.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        shown.append(uris);
    }
};

// A private session bus for the life of the test, so no real file manager is ever asked.
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted() || !QTest::qWaitFor([&] { return m_daemon.canReadLine(); }, 10'000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus() {
        for (const QString& name : m_names)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    bool available() const { return !m_address.isEmpty(); }
    QDBusConnection connect(const QString& name) {
        m_names.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

} // namespace

TEST(DesktopWorkspaceTest, OpeningHandsTheFileUrlToTheDefaultHandler) {
    QList<QUrl> opened;
    DesktopWorkspace workspace(QDBusConnection(QStringLiteral("not connected")), [&](const QUrl& url) {
        opened.append(url);
        return false;
    });
    EXPECT_FALSE(workspace.openPath("/Sim/My Data/Documents"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("file:///Sim/My%20Data/Documents"))});
}

TEST(DesktopWorkspaceTest, RevealAsksTheFileManagerOrOpensTheFolder) {
    PrivateBus bus;
    if (!bus.available())
        GTEST_SKIP() << "dbus-daemon is not available";
    QList<QUrl> opened;
    const auto record = [&](const QUrl& url) {
        opened.append(url);
        return true;
    };

    // No file manager on the bus: the folder that holds the bundle opens.
    {
        DesktopWorkspace workspace(bus.connect(QStringLiteral("caller-1")), record);
        workspace.revealInFileManager("/Sim/Bundle/Orders Lab.app");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !workspace.hasPendingCalls(); }, 10'000));
        EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/Sim/Bundle"))});
    }

    // A file manager answers: it is asked to show the item, and nothing opens.
    opened.clear();
    FakeFileManager fileManager;
    QDBusConnection service = bus.connect(QStringLiteral("file-manager"));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    DesktopWorkspace workspace(bus.connect(QStringLiteral("caller-2")), record);
    workspace.revealInFileManager("/Sim/Bundle/Orders Lab.app");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fileManager.shown.isEmpty(); }, 10'000));
    EXPECT_EQ(fileManager.shown, QList<QStringList>{{QStringLiteral("file:///Sim/Bundle/Orders%20Lab.app")}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !workspace.hasPendingCalls(); }, 10'000));
    EXPECT_TRUE(opened.isEmpty());
}

TEST(DesktopWorkspaceTest, RevealWithoutABusOpensTheFolderAtOnce) {
    QList<QUrl> opened;
    DesktopWorkspace workspace(QDBusConnection(QStringLiteral("not connected")), [&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    workspace.revealInFileManager("/Sim/Bundle/Orders.app");
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/Sim/Bundle"))});
}

#include "DesktopWorkspaceTest.moc"
