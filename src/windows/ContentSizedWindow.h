#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

namespace quorvex {

/// The factory of the small utility windows (push, open-URL, status bar) whose content area is
/// always exactly as large as their content wants to be. The content takes its ideal height and
/// the window follows it, keeping its top-left corner where the user left it; the user cannot
/// resize it. A window's first sizing is applied at once, later ones animate (0.22 s,
/// ease-in-ease-out) while the window is visible, except under a test host.
///
/// GUI thread. The caller owns the window; closing only hides it. The size observer holds the
/// window weakly and resizes it on the next event-loop turn, never inside a layout pass; a report
/// that arrives after the window is gone does nothing.
class ContentSizedWindow final {
public:
    ContentSizedWindow() = delete;

    static constexpr int kAnimationMs = 220;

    /// Builds the window (400 x 200 at first, then set to the content's size and centred) and
    /// returns it unshown. `content` becomes a child of the window.
    static std::unique_ptr<QWidget> make(const QString& title, QWidget* content);

    /// The resize rule: sizes that are not positive, and the size the window already has, change
    /// nothing; the first valid size is applied at once.
    static void resizeToContent(const QPointer<QWidget>& window, QSize size);

    /// Whether the window has had its first sizing.
    static bool hasBeenSized(const QWidget* window);
};

} // namespace quorvex
