#include "app/provisional/NetworkPlanStandIn.h"

#include <QRegularExpression>
#include <QUrl>

namespace quorvex::ThrottlePlan {

std::optional<QString> normalizeHost(const QString& input) {
    QString text = input.trimmed().toLower();
    if (text.isEmpty() || text.contains(QLatin1Char(' ')))
        return std::nullopt;
    if (!text.contains(QStringLiteral("://")))
        text = QStringLiteral("http://") + text;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    QString host = url.host();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.isEmpty())
        return std::nullopt;
    if (host.contains(QLatin1Char(':'))) // QUrl has checked the IPv6 literal
        return host;
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    for (const QString& part : host.split(QLatin1Char('.'))) {
        if (!label.match(part).hasMatch())
            return std::nullopt;
    }
    return host;
}

} // namespace quorvex::ThrottlePlan
