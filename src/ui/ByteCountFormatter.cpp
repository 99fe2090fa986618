#include "ui/ByteCountFormatter.h"

#include <QLocale>

#include <array>

namespace quorvex {

QString ByteCountFormatter::file(std::int64_t bytes) {
    const QLocale locale;
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    if (bytes > -1000 && bytes < 1000)
        return QStringLiteral("%1 bytes").arg(locale.toString(qlonglong(bytes)));
    // Kilobytes without decimals, megabytes with one, larger units with two, as file managers do.
    static constexpr std::array<const char*, 6> kUnits = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1000.0;
    size_t unit = 0;
    while (unit + 1 < kUnits.size() && (value >= 999.5 || value <= -999.5)) {
        value /= 1000.0;
        ++unit;
    }
    const int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
    QString number = locale.toString(value, 'f', decimals);
    // "1.0 MB" reads as "1 MB".
    if (decimals > 0) {
        const QString point = locale.decimalPoint();
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(point))
            number.chop(point.size());
    }
    return number + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

} // namespace quorvex
