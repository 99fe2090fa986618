#pragma once

#include <QLoggingCategory>

/// The log category of the platform stand-ins, "quorvex.platform".
Q_DECLARE_LOGGING_CATEGORY(platformLog)
