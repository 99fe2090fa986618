#include "storage/engine/StorageFormats.h"

#include <QLocale>
#include <QTimeZone>

#include <cmath>

namespace quorvex {

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads `count` ASCII digits at `at`; -1 when any is not a digit.
int digits(const QString& text, qsizetype at, int count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t u = text[at + i].unicode();
        if (u < '0' || u > '9')
            return -1;
        value = value * 10 + (u - '0');
    }
    return value;
}

} // namespace

std::optional<StorageFormats::Uuid> StorageFormats::parseUuid(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    Uuid uuid;
    int nibbles = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != QLatin1Char('-'))
                return std::nullopt;
            continue;
        }
        const int value = hexValue(text[i]);
        if (value < 0)
            return std::nullopt;
        std::uint64_t& half = nibbles < 16 ? uuid.high : uuid.low;
        half = (half << 4) | static_cast<std::uint64_t>(value);
        ++nibbles;
    }
    return uuid;
}

std::optional<QDateTime> StorageFormats::parseIso8601(const QString& text, bool fractionalSeconds) {
    // YYYY-MM-DDTHH:MM:SS
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 || text[4] != '-' ||
        text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    qsizetype at = 19;
    int millisecond = 0;
    if (fractionalSeconds) {
        if (at >= text.size() || text[at] != '.')
            return std::nullopt;
        ++at;
        int count = 0;
        while (at < text.size() && text[at].isDigit() && text[at].unicode() < 128) {
            if (count < 3)
                millisecond = millisecond * 10 + (text[at].unicode() - '0');
            ++count;
            ++at;
        }
        if (count == 0 || count > 9)
            return std::nullopt;
        for (int i = count; i < 3; ++i)
            millisecond *= 10;
    }
    int offset = 0;
    if (at < text.size() && text[at] == 'Z' && at + 1 == text.size()) {
        offset = 0;
    } else if (at + 6 == text.size() && (text[at] == '+' || text[at] == '-') && text[at + 3] == ':') {
        const int hours = digits(text, at + 1, 2);
        const int minutes = digits(text, at + 4, 2);
        if (hours < 0 || minutes < 0 || hours > 23 || minutes > 59)
            return std::nullopt;
        offset = (hours * 60 + minutes) * 60 * (text[at] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millisecond);
    if (!date.isValid() || !time.isValid() || hour > 23 || second > 59)
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

QString StorageFormats::pathKey(const std::filesystem::path& path) {
    const QByteArray bytes = QByteArray::fromStdString(path.string());
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        return QString(text).replace(QLatin1Char('%'), QLatin1String("%25"));
    // Printable ASCII but "%" stays; toPercentEncoding keeps only letters, digits and "-._~"
    // unless told otherwise.
    QByteArray kept;
    for (char c = ' '; c < 0x7f; ++c)
        if (c != '%')
            kept.append(c);
    return QString::fromLatin1(bytes.toPercentEncoding(kept));
}

QString StorageFormats::fileSize(std::int64_t bytes) {
    if (bytes <= 0)
        return QStringLiteral("Zero KB");
    if (bytes == 1)
        return QStringLiteral("1 byte");
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1000.0;
    int unit = 0;
    while (unit < 5) {
        const int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
        const double scale = std::pow(10.0, decimals);
        if (std::round(value * scale) / scale < 1000.0)
            break;
        value /= 1000.0;
        ++unit;
    }
    const int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
    QString number = QString::number(value, 'f', decimals);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace quorvex
