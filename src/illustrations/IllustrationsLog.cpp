#include "illustrations/IllustrationsLog.h"

Q_LOGGING_CATEGORY(illustrationsLog, "quorvex.illustrations", QtInfoMsg)
