#include "panel/sections/RecentURLs.h"

#include <QUrl>

namespace quorvex {
namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

QStringList RecentURLs::afterOpening(const QStringList& recent, const QString& url) {
    QStringList result{url};
    for (const QString& entry : recent)
        if (!result.contains(entry))
            result.append(entry);
    if (result.size() > kMaxCount)
        result.resize(kMaxCount);
    return result;
}

std::optional<QString> RecentURLs::openableText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    const QString trimmed = text.mid(begin, end - begin);
    if (trimmed.isEmpty() || !trimmed.at(0).isLetter() || trimmed.at(0).unicode() > 0x7f)
        return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return trimmed;
}

} // namespace quorvex
