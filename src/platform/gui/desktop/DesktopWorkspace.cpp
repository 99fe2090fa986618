#include "platform/gui/desktop/DesktopWorkspace.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QString>

namespace quorvex {
namespace {

constexpr int kShowItemsTimeoutMs = 5'000;

QUrl fileUrl(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

} // namespace

Workspace& Workspace::system() {
    static DesktopWorkspace* workspace = new DesktopWorkspace();
    return *workspace;
}

DesktopWorkspace::DesktopWorkspace(QDBusConnection bus, UrlOpener openUrl)
    : m_bus(std::move(bus))
    , m_openUrl(openUrl ? std::move(openUrl) : UrlOpener(&QDesktopServices::openUrl)) {}

bool DesktopWorkspace::openPath(const std::filesystem::path& path) {
    return m_openUrl(fileUrl(path));
}

void DesktopWorkspace::revealInFileManager(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.has_relative_path() ? path.parent_path() : path;
    if (!m_bus.isConnected()) {
        openPath(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kShowItemsTimeoutMs), &m_calls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_calls,
                     [this, folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             openPath(folder);
                         finished->deleteLater();
                     });
}

} // namespace quorvex
