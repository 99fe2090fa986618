#pragma once

#include <QLoggingCategory>

/// The log category of the app's network side, "quorvex.network": reasons of failures the model
/// and the proxy controller recover from. QUORVEX_LOG_LEVEL or QT_LOGGING_RULES choose what is shown.
Q_DECLARE_LOGGING_CATEGORY(networkSideLog)
