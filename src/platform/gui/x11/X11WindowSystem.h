#pragma once

#include "platform/gui/WindowSystem.h"

#include <memory>

namespace quorvex {

/// The window system on X11 through a connection of its own: the active window from
/// _NET_ACTIVE_WINDOW, windows from _NET_CLIENT_LIST_STACKING, applications from WM_CLASS and
/// _NET_WM_PID, frames including _NET_FRAME_EXTENTS, titles from _NET_WM_NAME, screens from the
/// RandR monitors (or Xinerama) and the current desktop's _NET_WORKAREA. Without a window manager
/// it falls back to the input focus and the root's children in stacking order. Events
/// (PropertyNotify, ConfigureNotify, focus and map changes) are read by a socket notifier on the
/// GUI thread and coalesced into one `changed` per event-loop turn.
///
/// Positions and sizes are given in Qt's device-independent pixels, the points the panel computes
/// in, so a scaled desktop places the panel as an unscaled one does; a connection to another
/// server than Qt's gives the server's own pixels instead.
class X11WindowSystem final : public WindowSystem {
public:
    enum class Units { qtPoints, pixels };

    /// Connects to `displayName` (null: $DISPLAY). Null when no display answers.
    static std::unique_ptr<X11WindowSystem> connect(const char* displayName = nullptr,
                                                    Units units = Units::qtPoints);
    ~X11WindowSystem() override;

    /// The application a WM_CLASS class name stands for ("Simulator" for the simulator app).
    static QString bundleIDForClass(const QString& windowClass);

    std::optional<Activation> frontmostApplication() const override;
    std::vector<Application> runningApplications(const QString& bundleID) const override;
    std::vector<Window> windowList() const override;
    std::optional<QString> focusedWindowTitle(qint64 pid) const override;
    bool canReadWindowTitles() const override { return true; }
    bool requestTitleAccess() override { return true; }
    bool isProcessRunning(qint64 pid) const override;
    std::vector<Screen> screens() const override;
    void orderWindow(quint64 window, Order order, quint64 relativeTo) override;
    bool knowsApplication(const QString&) const override { return false; }
    bool openApplication(const QString& bundleID) override;

    /// Whether a window manager announces itself (_NET_SUPPORTING_WM_CHECK).
    bool hasWindowManager() const;
    /// False once the server is gone; the object then sees no windows and reads nothing more.
    bool isConnected() const;

private:
    struct Private;
    explicit X11WindowSystem(std::unique_ptr<Private> d);
    std::unique_ptr<Private> d;
};

} // namespace quorvex
