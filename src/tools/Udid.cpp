#include "tools/Udid.h"

namespace quorvex {

bool isPlainUdid(const QString& udid) {
    return !udid.isEmpty() && udid != QLatin1String(".") && udid != QLatin1String("..") &&
           !udid.contains(QLatin1Char('/')) && !udid.contains(QChar(0));
}

} // namespace quorvex
