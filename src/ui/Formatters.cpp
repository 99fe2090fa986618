#include "ui/Formatters.h"

#include <QLocale>

#include <unicode/datefmt.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>

namespace quorvex::Formatters {

QString fileSize(std::int64_t bytes) {
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

QString abbreviatedDateTime(const QDateTime& dateTime) {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort));
    if (!format)
        return QLocale().toString(dateTime.toLocalTime(), QLocale::ShortFormat);
    icu::UnicodeString text;
    format->format(UDate(dateTime.toMSecsSinceEpoch()), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace quorvex::Formatters
