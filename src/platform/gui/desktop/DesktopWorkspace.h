#pragma once

#include "platform/gui/Workspace.h"

#include <QDBusConnection>
#include <QObject>
#include <QUrl>

#include <functional>

namespace quorvex {

/// The freedesktop workspace: items open through QDesktopServices (the desktop's default
/// handler, xdg-open underneath) and are revealed through the file manager's
/// org.freedesktop.FileManager1 ShowItems call on the session bus. A bus that is not there, or
/// a call that fails (no file manager registered), opens the item's folder instead.
///
/// The ShowItems call is asynchronous; its answer is handled by a watcher owned by this object,
/// so an answer that arrives after the object is gone is dropped.
class DesktopWorkspace final : public Workspace {
public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    /// `bus` and `openUrl` are replaced in tests (a private bus, a recording opener).
    explicit DesktopWorkspace(QDBusConnection bus = QDBusConnection::sessionBus(), UrlOpener openUrl = {});

    bool openPath(const std::filesystem::path& path) override;
    void revealInFileManager(const std::filesystem::path& path) override;

    /// True while a ShowItems call still waits for its answer.
    bool hasPendingCalls() const { return !m_calls.children().isEmpty(); }

private:
    QDBusConnection m_bus;
    UrlOpener m_openUrl;
    QObject m_calls; // parent of the pending-call watchers
};

} // namespace quorvex
