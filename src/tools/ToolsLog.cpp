#include "tools/ToolsLog.h"

Q_LOGGING_CATEGORY(toolsLog, "quorvex.tools", QtInfoMsg)
