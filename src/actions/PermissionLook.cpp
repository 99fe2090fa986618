#include "actions/PermissionLook.h"

#include "ui/Palette.h"

namespace quorvex {

QString PermissionLook::symbol(PermissionAction action, bool applied) {
    QString name;
    switch (action) {
    case PermissionAction::grant:
        name = QStringLiteral("checkmark.circle");
        break;
    case PermissionAction::revoke:
        name = QStringLiteral("xmark.circle");
        break;
    case PermissionAction::reset:
        name = QStringLiteral("arrow.counterclockwise.circle");
        break;
    }
    return applied ? name + QStringLiteral(".fill") : name;
}

QColor PermissionLook::color(PermissionAction action) {
    switch (action) {
    case PermissionAction::grant:
        return Palette::green();
    case PermissionAction::revoke:
        return Palette::red();
    case PermissionAction::reset:
        return Palette::blue();
    }
    return {};
}

} // namespace quorvex
