#include "actions/ActionsLog.h"

Q_LOGGING_CATEGORY(actionsLog, "quorvex.actions", QtInfoMsg)
