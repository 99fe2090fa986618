#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;

namespace quorvex {

/// A symbol in white on a rounded square filled with a gradient of one colour: the face of a
/// storage category wherever it is listed. The corner radius and the glyph grow with the side.
class CategoryIcon final : public QWidget {
    Q_OBJECT
public:
    CategoryIcon(QString symbol, QColor tint, qreal size, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol, const QColor& tint);
    const QString& symbol() const { return m_symbol; }
    const QColor& tint() const { return m_tint; }
    qreal side() const { return m_size; }

    static qreal cornerRadius(qreal size) { return size * 0.26; }
    static qreal glyphSize(qreal size) { return size * 0.5; }
    /// Draws the icon filling `rect` (a square); item rows draw it without a widget.
    static void paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_tint;
    qreal m_size;
};

} // namespace quorvex
