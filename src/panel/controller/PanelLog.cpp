#include "panel/controller/PanelLog.h"

Q_LOGGING_CATEGORY(panelLog, "quorvex.panel", QtInfoMsg)
