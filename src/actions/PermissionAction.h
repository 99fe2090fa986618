#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace quorvex {

/// What a permission change does; the raw values are simctl privacy's verbs.
enum class PermissionAction { grant, revoke, reset };

/// "grant", "revoke" or "reset".
QString rawValue(PermissionAction action);
std::optional<PermissionAction> permissionActionFromRawValue(QStringView raw);
/// "Grant", "Revoke" or "Reset".
QString title(PermissionAction action);

} // namespace quorvex
