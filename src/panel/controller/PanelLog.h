#pragma once

#include <QLoggingCategory>

/// The side panel's log category, "quorvex.panel": host tracking decisions at debug level, drops
/// and panel actions that fail.
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(panelLog)
