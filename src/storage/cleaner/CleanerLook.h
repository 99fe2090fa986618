#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

namespace quorvex {

/// The one way the storage cleaner's views write a byte total: "Empty" for 0, otherwise the
/// file-size style of ByteCountFormatter.
QString sizeText(std::int64_t bytes);

/// Joins the parts of a composed label.
inline const QString kLabelJoin = QStringLiteral(" \u00B7 ");

/// How a safety rating is shown: the badge's title and symbol, and the colour the badge and the
/// category page's consequence box use.
struct SafetyLook {
    QString title;
    QString symbol;
    QColor color;
};
SafetyLook safetyLook(CleanupSafety safety);

/// The colour of a category's tint name.
QColor categoryColor(CleanupCategory::Tint tint);

/// The colour of an item-state chip by its exact text, none for texts that have no colour.
std::optional<QColor> chipTint(const QString& text);

/// The text colour at an opacity: the primary colour with the secondary or tertiary emphasis of
/// the platform's label hierarchy.
QColor secondaryText(const QColor& primary);
QColor tertiaryText(const QColor& primary);
QColor withAlpha(QColor color, qreal opacity);

} // namespace quorvex
