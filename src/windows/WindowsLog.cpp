#include "windows/WindowsLog.h"

Q_LOGGING_CATEGORY(windowsLog, "quorvex.windows", QtInfoMsg)
