#include "app/LanguageChoices.h"

#include <QRegularExpression>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace quorvex {
namespace {

QString fromUnicode(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

const QStringList& LanguageChoices::languages() {
    static const QStringList list{"en", "en-GB", "de", "fr", "es", "it", "pt-BR", "pt-PT",   "nl",     "sv",
                                  "da", "nb",    "fi", "pl", "cs", "tr", "ru",    "uk",      "el",     "ar",
                                  "he", "hi",    "th", "vi", "id", "ja", "ko",    "zh-Hans", "zh-Hant"};
    return list;
}

QString LanguageChoices::languageName(const QString& identifier) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale = icu::Locale::forLanguageTag(identifier.toStdString(), status);
    if (U_FAILURE(status) || locale.isBogus() || QString::fromLatin1(locale.getLanguage()).isEmpty())
        return identifier;
    icu::UnicodeString name;
    locale.getDisplayName(icu::Locale::getDefault(), name);
    const QString result = fromUnicode(name);
    return result.isEmpty() ? identifier : result;
}

QString LanguageChoices::regionName(const QString& code) {
    const icu::Locale locale("", code.toLatin1().constData());
    icu::UnicodeString name;
    locale.getDisplayCountry(icu::Locale::getDefault(), name);
    const QString result = fromUnicode(name);
    return result.isEmpty() ? code : result;
}

LanguageChoices::Items LanguageChoices::languageItems(const std::optional<QString>& current) {
    Items result;
    for (const QString& identifier : languages())
        result.items.push_back({identifier, languageName(identifier)});
    if (!current || current->isEmpty())
        return result;
    const QStringList& list = languages();
    qsizetype index = list.indexOf(*current);
    if (index < 0) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (current->startsWith(list[i])) {
                index = i;
                break;
            }
        }
    }
    if (index >= 0) {
        result.selected = int(index);
        return result;
    }
    result.items.insert(result.items.begin(), Item{*current, languageName(*current)});
    result.selected = 0;
    return result;
}

LanguageChoices::Items LanguageChoices::regionItems(const QStringList& codes,
                                                    const std::optional<QString>& current) {
    Items result;
    for (const QString& code : codes)
        result.items.push_back({code, regionName(code)});
    if (!current || current->isEmpty())
        return result;
    const qsizetype index = codes.indexOf(*current);
    if (index >= 0) {
        result.selected = int(index);
        return result;
    }
    result.items.insert(result.items.begin(), Item{*current, regionName(*current)});
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
