#include "panel/PanelLog.h"

Q_LOGGING_CATEGORY(panelLog, "quorvex.panel", QtInfoMsg)
