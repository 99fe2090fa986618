#include "ui/MotionPreference.h"

#include <QSettings>
#include <QtGlobal>

namespace quorvex {

bool reduceMotionPreferred() {
    if (qEnvironmentVariableIsSet("QUORVEX_REDUCE_MOTION"))
        return qEnvironmentVariable("QUORVEX_REDUCE_MOTION") == QLatin1String("1");
    return QSettings().value(QStringLiteral("reduceMotion"), false).toBool();
}

} // namespace quorvex
