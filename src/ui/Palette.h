#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QRectF>

namespace quorvex {

/// The named colours of the interface, close to the desktop's system colours.
struct Palette {
    static QColor green() { return QColor(52, 199, 89); }
    static QColor orange() { return QColor(255, 149, 0); }
    static QColor red() { return QColor(255, 59, 48); }
    static QColor blue() { return QColor(0, 122, 255); }
    static QColor purple() { return QColor(175, 82, 222); }
    static QColor pink() { return QColor(255, 45, 85); }
    static QColor teal() { return QColor(48, 176, 199); }
    static QColor indigo() { return QColor(88, 86, 214); }
    static QColor gray() { return QColor(142, 142, 147); }
    static QColor yellow() { return QColor(255, 204, 0); }
    static QColor mint() { return QColor(0, 199, 190); }
    static QColor brown() { return QColor(162, 132, 94); }
    static QColor cyan() { return QColor(50, 173, 230); }

    /// The system-style gradient of a colour: a little lighter at the top, the colour at the bottom.
    static QLinearGradient gradient(const QColor& color, const QRectF& rect) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0.0, color.lighter(118));
        gradient.setColorAt(1.0, color);
        return gradient;
    }
};

} // namespace quorvex
