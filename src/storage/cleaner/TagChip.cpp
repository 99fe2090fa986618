#include "storage/cleaner/TagChip.h"

#include "storage/cleaner/CleanerLook.h"
#include "ui/Fonts.h"

namespace quorvex {

CapsuleLabel TagChip::look(const QString& text, const QColor& primary) {
    const std::optional<QColor> tint = chipTint(text);
    return {text,
            QString(),
            Fonts::system(10, QFont::DemiBold),
            tint ? *tint : secondaryText(primary),
            tint ? withAlpha(*tint, 0.14) : withAlpha(primary, 0.08),
            6,
            1};
}

} // namespace quorvex
