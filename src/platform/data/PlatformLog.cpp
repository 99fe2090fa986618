#include "platform/data/PlatformLog.h"

Q_LOGGING_CATEGORY(platformLog, "quorvex.platform", QtInfoMsg)
