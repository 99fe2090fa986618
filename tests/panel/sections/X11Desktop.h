#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorvex::test {

/// Another program's view of an X server, for tests: it creates plain windows that pose as other
/// apps (WM_CLASS, _NET_WM_PID, _NET_WM_NAME), moves and activates them, types through XTest,
/// reads window geometry and grabs the screen. It may also start a window manager.
class X11Desktop final {
public:
    explicit X11Desktop(const std::string& display);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    /// Starts openbox; false when it is not installed or does not announce itself in time.
    bool startWindowManager();
    bool hasWindowManager();
    /// Cuts the screen into monitors (RandR 1.5), the first one primary and holding the screen's
    /// output; the server's Xinerama answers with the same rectangles. False when refused.
    bool setMonitors(const std::vector<QRect>& monitors);

    /// A mapped top-level window with a solid background.
    xcb_window_t createWindow(const QString& windowClass, const QString& title, qint64 pid, QRect geometry,
                              uint32_t colour);
    void move(xcb_window_t window, int x, int y);
    /// Makes the window active: through the window manager when there is one, else the focus.
    void activate(xcb_window_t window);
    /// Gives the window the keyboard focus and nothing else: no raise, no word to the window
    /// manager, as a program that focuses one of its own windows does.
    void focus(xcb_window_t window);
    /// The window's outer rectangle on the root (its frame's when managed).
    QRect geometry(xcb_window_t window);
    /// The top-level windows bottom to top: the window manager's _NET_CLIENT_LIST_STACKING when
    /// there is one, else the root's children.
    std::vector<xcb_window_t> stacking();
    /// Presses the keys in order and releases them in reverse.
    void type(std::initializer_list<uint32_t> keysyms);
    /// The whole screen.
    QImage grab();
    /// Waits until the server has handled every request so far.
    void sync();

    xcb_connection_t* connection() const { return m_connection; }

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    xcb_screen_t* m_screen = nullptr;
    std::string m_display;
    pid_t m_windowManager = -1;
};

} // namespace quorvex::test
