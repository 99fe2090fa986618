#include "ui/Formatters.h"

#include "ui/ByteCountFormatter.h"

#include <QLocale>

#include <unicode/datefmt.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
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
    const bool future = date > now;
    const QDateTime from = (future ? now : date).toLocalTime();
    const QDateTime to = (future ? date : now).toLocalTime();
    const qint64 seconds = from.secsTo(to);

    // Under a day by the clock; from a day on by the calendar, so a date eight calendar months
    // back reads "8 months ago" whatever the months' lengths.
    double count = 0;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    if (seconds < 60) {
        count = static_cast<double>(seconds);
    } else if (seconds < 3600) {
        count = static_cast<double>(seconds / 60);
        unit = UDAT_REL_UNIT_MINUTE;
    } else if (seconds < 86400) {
        count = static_cast<double>(seconds / 3600);
        unit = UDAT_REL_UNIT_HOUR;
    } else {
        int months = (to.date().year() - from.date().year()) * 12 + to.date().month() - from.date().month();
        if (from.addMonths(months) > to)
            --months;
        qint64 days = from.date().daysTo(to.date());
        if (from.addDays(days) > to)
            --days;
        if (months >= 12) {
            count = months / 12;
            unit = UDAT_REL_UNIT_YEAR;
        } else if (months >= 1) {
            count = months;
            unit = UDAT_REL_UNIT_MONTH;
        } else if (days >= 7) {
            count = static_cast<double>(days / 7);
            unit = UDAT_REL_UNIT_WEEK;
        } else {
            count = static_cast<double>(std::max<qint64>(days, 1));
            unit = UDAT_REL_UNIT_DAY;
        }
    }
    // A negative offset is in the past; now itself reads "0 seconds ago", as the platform writes it.
    const double offset = future && count > 0 ? count : -count;

    // Building the formatter loads locale data, many times the cost of a formatting; list rows
    // format on every paint, so each thread keeps one.
    thread_local std::unique_ptr<icu::RelativeDateTimeFormatter> formatter = [] {
        UErrorCode made = U_ZERO_ERROR;
        auto built = std::make_unique<icu::RelativeDateTimeFormatter>(made);
        return U_SUCCESS(made) ? std::move(built) : nullptr;
    }();
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text;
    if (formatter)
        formatter->formatNumeric(offset, unit, text, status);
    if (!formatter || U_FAILURE(status))
        return QLocale().toString(date.toLocalTime(), QLocale::ShortFormat);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace quorvex::Formatters
