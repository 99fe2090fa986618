#pragma once

#include <QLoggingCategory>

/// The illustrations' log category, "quorvex.illustrations": timelines starting and stopping, at
/// debug level.
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(illustrationsLog)
