#pragma once

#include "platform/gui/WindowSystem.h"

namespace quorvex {

/// The window system when there is no display: no application is frontmost, no window is on
/// screen, titles cannot be read, and `changed` never fires.
class HeadlessWindowSystem final : public WindowSystem {
public:
    using WindowSystem::WindowSystem;

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
};

} // namespace quorvex
