#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QPushButton;
class QWidget;

namespace quorvex {

/// The few looks the storage cleaner's window repeats: secondary text, the bar material, the red
/// prominent button, a symbol beside a text.
struct CleanerStyle {
    static QColor secondary(const QPalette& palette);
    static QColor barMaterial(const QPalette& palette);
    static QColor hairline(const QPalette& palette);
    /// A filled red button with a symbol and a white title (the cleaner's destructive actions).
    static QPushButton* prominentButton(const QString& title, const QString& symbol, QWidget* parent);
    /// A symbol and a text side by side, both in `color`; the text wraps.
    static QWidget* iconLabel(const QString& symbol, const QString& text, const QColor& color,
                              const QFont& font, QWidget* parent);
    /// Fixes a wrapping label (or the text of an iconLabel) at `width` and the height its text
    /// needs there. A window that takes its layout's size hint never asks a label for its height
    /// at a width, so without this the label guesses and leaves gaps or cuts lines.
    static void wrapAt(QWidget* label, int width);
};

} // namespace quorvex
