#include "platform/data/LogLevel.h"

#include <QLoggingCategory>
#include <QStringList>

namespace quorvex {

void applyLogLevel(const QString& level) {
    const QStringList levels{QStringLiteral("debug"), QStringLiteral("info"), QStringLiteral("warning"),
                             QStringLiteral("critical")};
    const qsizetype chosen = levels.indexOf(level.trimmed().toLower());
    if (chosen < 0)
        return;
    QStringList rules;
    for (qsizetype i = 0; i < levels.size(); ++i)
        rules << QStringLiteral("quorvex.*.%1=%2").arg(levels[i], i >= chosen ? u"true" : u"false");
    QLoggingCategory::setFilterRules(rules.join(QLatin1Char('\n')));
}

void applyLogLevelFromEnvironment() {
    const QByteArray value = qgetenv("QUORVEX_LOG_LEVEL");
    if (!value.isEmpty())
        applyLogLevel(QString::fromUtf8(value));
}

} // namespace quorvex
