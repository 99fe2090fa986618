#pragma once

#include <QString>

namespace quorvex {

/// Turns on the program's log categories ("quorvex.*") down to `level`: "debug", "info",
/// "warning" or "critical" (any letter case). Anything else changes nothing. Qt's own logging
/// rules (QT_LOGGING_RULES, qtlogging.ini) still take precedence.
void applyLogLevel(const QString& level);

/// applyLogLevel with the value of QUORVEX_LOG_LEVEL, when it is set. Called once by main.
void applyLogLevelFromEnvironment();

} // namespace quorvex
