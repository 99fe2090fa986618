#include "network/model/NetworkLog.h"

Q_LOGGING_CATEGORY(networkSideLog, "quorvex.network", QtInfoMsg)
