#pragma once

#include <QLoggingCategory>

/// The connected-device side's log category, "quorvex.devices": devicectl answers that cannot be
/// read, container copies and restores that fail, APNs sends and their outcome (never a key or token).
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(devicesLog)
