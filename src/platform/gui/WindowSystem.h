#pragma once

#include <QObject>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

/// The desktop's windows as the window tracker and the side panel see them: which app is
/// frontmost, the on-screen windows front to back, window titles, screens, and stacking of our
/// own windows relative to another app's window.
///
/// Coordinates: window `bounds` are in the window list's own system (origin at the top left of
/// the first screen, y growing downwards); screens are given in the desktop system the panel
/// computes in (origin at the bottom left of the first screen, y growing upwards). Backends do
/// the conversions, so callers never see platform units.
///
/// Contract: every query answers from the window system's current state (no caching across
/// `changed`). `changed` is emitted at most once per event-loop turn after anything a query can
/// report has changed (active window, stacking, a window's geometry, title or mapping). Backends
/// without change events never emit it; callers keep a slow safety poll. GUI thread only.
class WindowSystem : public QObject {
    Q_OBJECT
public:
    /// A running application, identified by its bundle identifier.
    struct Application {
        QString bundleID;
        /// The process id; 0 or less when the system does not tell it.
        qint64 pid = 0;
        QString name;
        bool operator==(const Application&) const = default;
    };

    /// One on-screen window. Keys the system does not report are absent.
    struct Window {
        std::optional<quint64> number;
        std::optional<qint64> ownerPID;
        QString ownerName;
        /// 0 for ordinary windows; menus, docks, overlays and keep-above windows sit higher.
        std::optional<int> layer;
        std::optional<QRectF> bounds;
        bool operator==(const Window&) const = default;
    };

    /// One screen: its whole frame and the part not taken by panels and docks.
    struct Screen {
        QRectF frame;
        QRectF visibleFrame;
        bool operator==(const Screen&) const = default;
    };

    enum class Order { Above, Below };

    using QObject::QObject;
    ~WindowSystem() override = default;

    /// The application of the active window, with that window's number; none when nothing is
    /// active or the active window has no known application.
    struct Activation {
        Application application;
        quint64 window = 0;
    };
    virtual std::optional<Activation> frontmostApplication() const = 0;

    /// The running applications with the bundle identifier, in the system's order.
    virtual std::vector<Application> runningApplications(const QString& bundleID) const = 0;

    /// The on-screen windows, front to back, without desktop elements.
    virtual std::vector<Window> windowList() const = 0;

    /// The title of the focused window of the process; none when it cannot be read.
    virtual std::optional<QString> focusedWindowTitle(qint64 pid) const = 0;

    /// Whether titles of other programs' windows may be read at all.
    virtual bool canReadWindowTitles() const = 0;
    /// Asks the user for the right to read titles where the system has such a right; the answer.
    virtual bool requestTitleAccess() = 0;

    /// Whether a process with that id exists.
    virtual bool isProcessRunning(qint64 pid) const = 0;

    /// The screens, the first one first.
    virtual std::vector<Screen> screens() const = 0;

    /// Puts our window `window` directly above or below `relativeTo` (another program's window)
    /// without activating it.
    virtual void orderWindow(quint64 window, Order order, quint64 relativeTo) = 0;

    /// Why other programs' windows cannot be seen here, in words for the user; none where they
    /// can. Where they cannot, no host can be followed and the side panel cannot be placed.
    virtual std::optional<QString> hiddenWindowsReason() const { return std::nullopt; }

    /// Whether the system knows where the application is installed.
    virtual bool knowsApplication(const QString& bundleID) const = 0;
    /// Starts the application the system knows; false when it knows none by that identifier.
    virtual bool openApplication(const QString& bundleID) = 0;

    /// The backend for the desktop Qt runs on: X11 under the xcb platform, else (Wayland, no
    /// desktop) a headless one that sees no windows and says why. Call after the application
    /// object exists.
    static std::unique_ptr<WindowSystem> create();

signals:
    void changed();
};

} // namespace quorvex
