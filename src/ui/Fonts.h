#pragma once

#include <QFont>

namespace quorvex {

/// The text styles the views use, in the sizes of the desktop's usual type scale, derived from
/// the application font so they follow the user's settings.
struct Fonts {
    static QFont body();
    static QFont callout(QFont::Weight weight = QFont::Normal);
    static QFont caption(QFont::Weight weight = QFont::Normal);
    static QFont system(qreal pointSize, QFont::Weight weight = QFont::Normal);
};

} // namespace quorvex
