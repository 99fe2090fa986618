#include "simulator/SimulatorLog.h"

Q_LOGGING_CATEGORY(simulatorLog, "quorvex.simulator", QtInfoMsg)
