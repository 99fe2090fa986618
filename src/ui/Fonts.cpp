#include "ui/Fonts.h"

#include <QGuiApplication>

namespace quorvex {
namespace {

// Sizes on the reference scale where body text is 13 points.
constexpr qreal kBody = 13.0;

QFont scaled(qreal referenceSize, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * referenceSize / kBody);
    font.setWeight(weight);
    return font;
}

} // namespace

QFont Fonts::body() {
    return scaled(kBody, QFont::Normal);
}
QFont Fonts::callout(QFont::Weight weight) {
    return scaled(12.0, weight);
}
QFont Fonts::caption(QFont::Weight weight) {
    return scaled(10.0, weight);
}
QFont Fonts::system(qreal pointSize, QFont::Weight weight) {
    return scaled(pointSize, weight);
}

} // namespace quorvex
