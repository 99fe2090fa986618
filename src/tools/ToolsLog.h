#pragma once

#include <QLoggingCategory>

/// The tool layer's log category, "quorvex.tools": every tool run at debug level, with its
/// arguments, outcome and duration. Off unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(toolsLog)
