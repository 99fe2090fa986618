#pragma once

#include <QProxyStyle>

class QAction;

namespace quorvex {

/// The style of RowMenu: rows whose action has a subtitle get a second line in a smaller,
/// secondary font under the title; rows with a badge end in a capsule with the count, drawn as an
/// image; an indented row moves its icon and its texts right together, by `indentStep` a level.
/// Other rows are left to the application's style.
class MenuRowStyle final : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int indentStep = 16;

    /// The capsule of a count badge, at the device pixel ratio given.
    static QImage badgeImage(const QString& text, const QColor& textColor, qreal devicePixelRatio = 1.0);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

} // namespace quorvex
