#include "actions/PermissionAction.h"

namespace quorvex {

QString rawValue(PermissionAction action) {
    switch (action) {
    case PermissionAction::grant:
        return QStringLiteral("grant");
    case PermissionAction::revoke:
        return QStringLiteral("revoke");
    case PermissionAction::reset:
        break;
    }
    return QStringLiteral("reset");
}

std::optional<PermissionAction> permissionActionFromRawValue(QStringView raw) {
    for (const PermissionAction action :
         {PermissionAction::grant, PermissionAction::revoke, PermissionAction::reset})
        if (raw == rawValue(action))
            return action;
    return std::nullopt;
}

QString title(PermissionAction action) {
    QString text = rawValue(action);
    text[0] = text[0].toUpper();
    return text;
}

} // namespace quorvex
