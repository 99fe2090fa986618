#include "ui/Formatters.h"

#include "ui/ByteCountFormatter.h"

#include <QLocale>

#include <unicode/datefmt.h>
#include <unicode/unistr.h>

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

} // namespace quorvex::Formatters
