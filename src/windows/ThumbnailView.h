#pragma once

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>

namespace quorvex {

/// The thumbnail panel's picture: draws the screenshot with rounded corners and a thin border,
/// reports hover, turns a press into a click or, past 4 points of movement, into a drag of the
/// file (copy only). Used by ScreenshotThumbnail only.
class ThumbnailView final : public QWidget {
    Q_OBJECT
public:
    static constexpr double kDragDistance = 4.0;

    ThumbnailView(QImage image, std::filesystem::path file, QWidget* parent = nullptr);

    std::function<void()> onClick = [] {};
    std::function<void(bool)> onHover = [](bool) {};
    std::function<void()> onDragEnded = [] {};

    /// Starts the drag of the file; returns whether a drop target took it. Replaced in tests,
    /// where no drag can run.
    std::function<bool()> beginDrag;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool dragFile();

    QImage m_image;
    std::filesystem::path m_file;
    std::optional<QPointF> m_mouseDownPoint;
};

} // namespace quorvex
