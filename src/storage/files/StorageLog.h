#pragma once

#include <QLoggingCategory>

/// The storage engine's log category, "quorvex.storage": removals that fail or are refused, folders a
/// scan cannot read, cleaning outcomes.
/// Off below info unless QUORVEX_LOG_LEVEL or QT_LOGGING_RULES turn it on.
Q_DECLARE_LOGGING_CATEGORY(storageLog)
