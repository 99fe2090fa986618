#pragma once

#include <QLoggingCategory>

/// The action windows' log category, "quorvex.windows": captures, framing and status-bar changes
/// that fail.
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(windowsLog)
