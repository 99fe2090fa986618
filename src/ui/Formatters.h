#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace quorvex {

/// Texts of sizes and dates as the user's locale writes them.
namespace Formatters {

/// A file size in decimal units, the way file managers show it: "Zero KB", "512 bytes",
/// "34 KB", "1.2 MB", "3.45 GB".
QString fileSize(std::int64_t bytes);

/// A date with the locale's medium (abbreviated month) date style and its short time style,
/// in local time, such as "Dec 10, 2026, 2:43 PM".
QString abbreviatedDateTime(const QDateTime& dateTime);

/// How long ago (or how far ahead) `date` is from `now` in the largest whole unit, numerically:
/// "2 days ago", "in 3 hours", "1 week ago", "0 seconds ago".
QString relativeDate(const QDateTime& date, const QDateTime& now);

} // namespace Formatters

} // namespace quorvex
