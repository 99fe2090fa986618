#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <filesystem>
#include <memory>
#include <optional>

class QWidget;

namespace quorvex {

class Clock;
class ScheduledCall;
class Workspace;

/// The floating picture of the last screenshot at the bottom-right corner of the primary screen:
/// it slides in, stays 5 s (for as long as the pointer rests on it, then 5 s more), and slides out.
/// A click previews the file (qlmanage when it starts, else the default application); dragging it
/// drops the file. A new screenshot replaces the one shown at once.
///
/// GUI thread only. The thumbnail owns its panel (the panel of a replaced thumbnail is hidden at
/// once and deleted on the next event-loop turn) and its slide animations, which hold the panel
/// they move weakly: a slide-out always hides the panel it moved, never a newer one. The
/// dismissal runs on the given Clock and is cancelled by hover, a new show or destruction.
class ScreenshotThumbnail final : public QObject {
    Q_OBJECT
public:
    static constexpr double kDismissAfter = 5.0;
    static constexpr int kSlideInMs = 300;
    static constexpr int kSlideOutMs = 250;
    static constexpr int kMargin = 20;
    static constexpr double kMaxSide = 180.0;

    ScreenshotThumbnail(Clock& clock, Workspace& workspace, QObject* parent = nullptr);
    ~ScreenshotThumbnail() override;

    /// The program's thumbnail on the system clock and workspace, created on first use.
    static ScreenshotThumbnail& shared();

    /// Shows the thumbnail of a written screenshot; an unreadable file shows nothing.
    void show(const std::filesystem::path& file);
    /// Cancels the dismissal and slides the panel out, when one is visible.
    void slideOut();
    /// (Re)arms the dismissal, 5 s from now.
    void scheduleDismiss();
    /// The click: slide out, then preview the file.
    void quickLook();
    /// The pointer entered (true) or left the thumbnail.
    void hoverChanged(bool inside);

    /// The panel now or last shown, if any.
    QWidget* panel() const { return m_panel; }
    const std::optional<std::filesystem::path>& file() const { return m_file; }
    bool isDismissArmed() const { return m_dismissWork != nullptr; }

    /// The thumbnail of an image of `size` points: at most 180 on either side, never enlarged.
    static QSize thumbnailSize(QSizeF imageSize);
    /// Where a thumbnail of `size` sits in the screen's available area (y grows downwards).
    static QRect thumbnailFrame(QSize size, const QRect& visibleFrame);

private:
    Clock& m_clock;
    Workspace& m_workspace;
    QPointer<QWidget> m_panel;
    std::optional<std::filesystem::path> m_file;
    std::unique_ptr<ScheduledCall> m_dismissWork;
};

} // namespace quorvex
