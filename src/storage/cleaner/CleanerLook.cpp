#include "storage/cleaner/CleanerLook.h"

#include "ui/ByteCountFormatter.h"
#include "ui/Palette.h"

namespace quorvex {

QString sizeText(std::int64_t bytes) {
    return bytes == 0 ? QStringLiteral("Empty") : ByteCountFormatter::file(bytes);
}

SafetyLook safetyLook(CleanupSafety safety) {
    switch (safety) {
    case CleanupSafety::safe:
        return {QStringLiteral("Safe to delete"), QStringLiteral("checkmark.shield.fill"), Palette::green()};
    case CleanupSafety::review:
        return {QStringLiteral("Review first"), QStringLiteral("eye.fill"), Palette::orange()};
    case CleanupSafety::verify:
        break;
    }
    return {QStringLiteral("Verify first"), QStringLiteral("exclamationmark.triangle.fill"), Palette::red()};
}

QColor categoryColor(CleanupCategory::Tint tint) {
    using Tint = CleanupCategory::Tint;
    switch (tint) {
    case Tint::blue:
        return Palette::blue();
    case Tint::indigo:
        return Palette::indigo();
    case Tint::purple:
        return Palette::purple();
    case Tint::brown:
        return Palette::brown();
    case Tint::teal:
        return Palette::teal();
    case Tint::cyan:
        return Palette::cyan();
    case Tint::pink:
        return Palette::pink();
    case Tint::green:
        return Palette::green();
    case Tint::orange:
        return Palette::orange();
    case Tint::gray:
        break;
    }
    return Palette::gray();
}

std::optional<QColor> chipTint(const QString& text) {
    if (text == QLatin1String("Uploaded"))
        return Palette::green();
    if (text == QLatin1String("Not uploaded") || text == QLatin1String("Unavailable") ||
        text == QLatin1String("Orphaned"))
        return Palette::orange();
    return std::nullopt;
}

QColor withAlpha(QColor color, qreal opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QColor secondaryText(const QColor& primary) {
    return withAlpha(primary, 0.55);
}

QColor tertiaryText(const QColor& primary) {
    return withAlpha(primary, 0.3);
}

} // namespace quorvex
