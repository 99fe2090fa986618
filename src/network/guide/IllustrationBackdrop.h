#pragma once

#include <QPixmap>
#include <QWidget>

namespace quorvex {

/// What every setup guide drawing stands on: a soft accent-to-purple gradient in a rounded
/// rectangle with a faint border. It holds the drawing, stretched over its whole area.
class IllustrationBackdrop final : public QWidget {
    Q_OBJECT
public:
    /// Takes ownership of `drawing`.
    explicit IllustrationBackdrop(QWidget* drawing, QWidget* parent = nullptr);

    QWidget* drawing() const { return m_drawing; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintBackdrop(QPainter& painter) const;

    QWidget* m_drawing;
    QPixmap m_picture;
};

} // namespace quorvex
