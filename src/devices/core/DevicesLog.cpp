#include "devices/core/DevicesLog.h"

Q_LOGGING_CATEGORY(devicesLog, "quorvex.devices", QtInfoMsg)
