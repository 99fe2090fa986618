#include "app/LanguageChoices.h"

#include "panel/sections/LanguageCodes.h"

#include <QRegularExpression>

namespace quorvex {

LanguageChoices::Items LanguageChoices::languageItems(const std::optional<QString>& current) {
    Items result;
    const QStringList& codes = LanguageCodes::codes();
    for (const QString& code : codes)
        result.items.push_back({code, LanguageCodes::languageName(code)});
    if (!current || current->isEmpty())
        return result;
    if (const std::optional<QString> code = LanguageCodes::match(*current)) {
        result.selected = int(codes.indexOf(*code));
        return result;
    }
    result.items.insert(result.items.begin(), Item{*current, LanguageCodes::languageName(*current)});
    result.selected = 0;
    return result;
}

LanguageChoices::Items LanguageChoices::regionItems(const QStringList& codes,
                                                    const std::optional<QString>& current) {
    Items result;
    for (const QString& code : codes)
        result.items.push_back({code, LanguageCodes::regionName(code)});
    if (!current || current->isEmpty())
        return result;
    const qsizetype index = codes.indexOf(*current);
    if (index >= 0) {
        result.selected = int(index);
        return result;
    }
    result.items.insert(result.items.begin(), Item{*current, LanguageCodes::regionName(*current)});
    result.selected = 0;
    return result;
}

std::set<QString> parseLaunchctlAppIDs(const QByteArray& output) {
    static const QRegularExpression whitespace(QStringLiteral("\\s+"));
    static const QString prefix = QStringLiteral("UIKitApplication:");
    std::set<QString> ids;
    for (const QString& line : QString::fromUtf8(output).split(QLatin1Char('\n'))) {
        const QStringList columns = line.split(whitespace, Qt::SkipEmptyParts);
        if (columns.size() < 3 || !columns[2].startsWith(prefix))
            continue;
        QString id = columns[2].mid(prefix.size());
        const qsizetype bracket = id.indexOf(QLatin1Char('['));
        if (bracket >= 0)
            id.truncate(bracket);
        if (!id.isEmpty())
            ids.insert(id);
    }
    return ids;
}

} // namespace quorvex
