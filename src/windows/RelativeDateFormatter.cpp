#include "windows/RelativeDateFormatter.h"

#include <cstdlib>

namespace quorvex {

namespace {

struct Unit {
    qint64 seconds;
    const char* singular;
    const char* plural;
    const char* lastNamed; // "yesterday", "last week", ...; null where English says "1 minute ago"
    const char* nextNamed;
};

// Largest first. Months and years are counted in fixed lengths: the text is approximate anyway.
const Unit kUnits[] = {
    {365 * 86400, "year", "years", "last year", "next year"},
    {30 * 86400, "month", "months", "last month", "next month"},
    {7 * 86400, "week", "weeks", "last week", "next week"},
    {86400, "day", "days", "yesterday", "tomorrow"},
    {3600, "hour", "hours", nullptr, nullptr},
    {60, "minute", "minutes", nullptr, nullptr},
    {1, "second", "seconds", nullptr, nullptr},
};

} // namespace

QString RelativeDateFormatter::format(const QDateTime& date, const QDateTime& now) {
    const qint64 difference = date.secsTo(now); // positive: in the past
    const qint64 magnitude = std::llabs(difference);
    if (magnitude < 1)
        return QStringLiteral("now");
    const bool past = difference > 0;
    for (const Unit& unit : kUnits) {
        const qint64 count = magnitude / unit.seconds;
        if (count < 1)
            continue;
        if (count == 1 && unit.lastNamed)
            return QString::fromLatin1(past ? unit.lastNamed : unit.nextNamed);
        const QString amount =
            QString::number(count) + u' ' + QString::fromLatin1(count == 1 ? unit.singular : unit.plural);
        return past ? amount + QStringLiteral(" ago") : QStringLiteral("in ") + amount;
    }
    return QStringLiteral("now");
}

} // namespace quorvex
