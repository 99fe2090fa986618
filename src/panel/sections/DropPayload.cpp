#include "panel/sections/DropPayload.h"

#include <QMimeData>
#include <QUrl>

namespace quorvex {
namespace {

const QString kUriListType = QStringLiteral("text/uri-list");

bool hasInnerSpace(const QString& text) {
    for (const QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return true;
    return false;
}

// A single URL with a scheme. Space or a line break inside would make one item into several
// lines of the uri-list, so such text is no URL.
std::optional<QString> urlFromText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || hasInnerSpace(trimmed))
        return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return trimmed;
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

QStringList DropPayload::urls(const QList<Item>& items) {
    QStringList result;
    for (const Item& item : items) {
        if (item.url) {
            const QString url = item.url->trimmed();
            if (!url.isEmpty() && !hasLineBreak(url)) {
                result.append(url);
                continue;
            }
        }
        if (item.text) {
            if (auto url = urlFromText(*item.text))
                result.append(*url);
        }
    }
    return result;
}

QList<DropPayload::Item> DropPayload::items(const QMimeData& data) {
    QList<Item> result;
    if (data.hasFormat(kUriListType)) {
        // One item per line; "#" starts a comment; CR LF or a bare LF ends a line.
        for (const QByteArray& rawLine : data.data(kUriListType).split('\n')) {
            const QByteArray line = rawLine.trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            result.append(Item{QString::fromUtf8(line), std::nullopt});
        }
        if (!result.isEmpty())
            return result;
    }
    if (data.hasText())
        result.append(Item{std::nullopt, data.text()});
    return result;
}

QByteArray DropPayload::uriList(const QStringList& urls) {
    QByteArray result;
    for (const QString& url : urls)
        result += url.toUtf8() + "\r\n";
    return result;
}

} // namespace quorvex
