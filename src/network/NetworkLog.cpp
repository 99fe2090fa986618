#include "network/NetworkLog.h"

Q_LOGGING_CATEGORY(networkAppLog, "quorvex.network", QtInfoMsg)
