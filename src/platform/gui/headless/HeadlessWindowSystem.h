#pragma once

#include "platform/gui/WindowSystem.h"

#include <utility>

namespace quorvex {

/// The window system where other programs' windows cannot be seen (a Wayland desktop, or no
/// desktop at all): no application is frontmost, no window is on screen, titles cannot be read,
/// `changed` never fires, and `hiddenWindowsReason` says why.
class HeadlessWindowSystem final : public WindowSystem {
public:
    static inline const QString kNoDesktop = QStringLiteral("No desktop to show it on");
    static inline const QString kWayland =
        QStringLiteral("Wayland keeps other apps’ windows hidden from Quorvex");

    explicit HeadlessWindowSystem(QString reason = kNoDesktop, QObject* parent = nullptr)
        : WindowSystem(parent)
        , m_reason(std::move(reason)) {}

    std::optional<Activation> frontmostApplication() const override { return std::nullopt; }
    std::vector<Application> runningApplications(const QString&) const override { return {}; }
    std::vector<Window> windowList() const override { return {}; }
    std::optional<QString> focusedWindowTitle(qint64) const override { return std::nullopt; }
    bool canReadWindowTitles() const override { return false; }
    bool requestTitleAccess() override { return false; }
    bool isProcessRunning(qint64) const override { return false; }
    std::vector<Screen> screens() const override { return {}; }
    void orderWindow(quint64, Order, quint64) override {}
    bool knowsApplication(const QString&) const override { return false; }
    bool openApplication(const QString&) override { return false; }
    std::optional<QString> hiddenWindowsReason() const override { return m_reason; }

private:
    QString m_reason;
};

} // namespace quorvex
