#include "app/AppLog.h"

Q_LOGGING_CATEGORY(appLog, "quorvex.app", QtInfoMsg)
