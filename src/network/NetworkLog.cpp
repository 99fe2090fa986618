#include "network/NetworkLog.h"

Q_LOGGING_CATEGORY(networkLog, "quorvex.network", QtInfoMsg)
