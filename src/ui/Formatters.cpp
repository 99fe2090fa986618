#include "ui/Formatters.h"

#include "ui/ByteCountFormatter.h"

#include <QLocale>

#include <unicode/datefmt.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <array>
#include <cmath>
#include <memory>

namespace quorvex::Formatters {

QString fileSize(std::int64_t bytes) {
    return ByteCountFormatter::file(bytes);
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

QString relativeDate(const QDateTime& date, const QDateTime& now) {
    const double seconds = static_cast<double>(date.toMSecsSinceEpoch() - now.toMSecsSinceEpoch()) / 1000.0;
    const double magnitude = std::abs(seconds);
    // The largest unit with at least one whole step, as calendar lengths on average.
    struct Unit {
        double seconds;
        URelativeDateTimeUnit unit;
    };
    static constexpr std::array<Unit, 7> units{{{365.2425 * 86400, UDAT_REL_UNIT_YEAR},
                                                {30.436875 * 86400, UDAT_REL_UNIT_MONTH},
                                                {7 * 86400, UDAT_REL_UNIT_WEEK},
                                                {86400, UDAT_REL_UNIT_DAY},
                                                {3600, UDAT_REL_UNIT_HOUR},
                                                {60, UDAT_REL_UNIT_MINUTE},
                                                {1, UDAT_REL_UNIT_SECOND}}};
    Unit chosen = units.back();
    for (const Unit& unit : units)
        if (magnitude >= unit.seconds) {
            chosen = unit;
            break;
        }
    const double count = std::trunc(magnitude / chosen.seconds);
    // "0 seconds ago" rather than "in 0 seconds" for now itself, as the platform writes it.
    const double offset = seconds > 0 && count > 0 ? count : -count;

    UErrorCode status = U_ZERO_ERROR;
    icu::RelativeDateTimeFormatter formatter(status);
    icu::UnicodeString text;
    if (U_SUCCESS(status))
        formatter.formatNumeric(offset, chosen.unit, text, status);
    if (U_FAILURE(status))
        return QLocale().toString(date.toLocalTime(), QLocale::ShortFormat);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace quorvex::Formatters
