#include "devices/DevicesLog.h"

Q_LOGGING_CATEGORY(devicesLog, "quorvex.devices", QtInfoMsg)
