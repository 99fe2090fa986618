#pragma once

#include <QLoggingCategory>

/// The menu-bar program's log category, "quorvex.app": start-up decisions and menu flows that fail.
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(appLog)
