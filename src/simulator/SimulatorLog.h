#pragma once

#include <QLoggingCategory>

/// The log category of the simulator library, "quorvex.simulator": reasons of failures the library
/// recovers from. QUORVEX_LOG_LEVEL or QT_LOGGING_RULES choose what is shown.
Q_DECLARE_LOGGING_CATEGORY(simulatorLog)
