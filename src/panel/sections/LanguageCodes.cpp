#include "panel/sections/LanguageCodes.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace quorvex {
namespace {

QString fromUnicode(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace

const QStringList& LanguageCodes::codes() {
    static const QStringList list{"en", "en-GB", "de", "fr", "es", "it", "pt-BR", "pt-PT",   "nl",     "sv",
                                  "da", "nb",    "fi", "pl", "cs", "tr", "ru",    "uk",      "el",     "ar",
                                  "he", "hi",    "th", "vi", "id", "ja", "ko",    "zh-Hans", "zh-Hant"};
    return list;
}

std::optional<QString> LanguageCodes::match(const QString& language) {
    // A bare prefix test would read "fil" (Filipino) as "fi" (Finnish); only whole subtags count.
    std::optional<QString> best;
    for (const QString& code : codes()) {
        const bool fits =
            language == code || (language.startsWith(code) && language.at(code.size()) == QLatin1Char('-'));
        if (fits && (!best || code.size() > best->size()))
            best = code;
    }
    return best;
}

QString LanguageCodes::languageName(const QString& code) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale = icu::Locale::forLanguageTag(code.toStdString(), status);
    if (U_FAILURE(status) || locale.isBogus() || QString::fromLatin1(locale.getLanguage()).isEmpty())
        return code;
    icu::UnicodeString name;
    locale.getDisplayName(icu::Locale::getDefault(), name);
    const QString result = fromUnicode(name);
    return result.isEmpty() ? code : result;
}

QString LanguageCodes::regionName(const QString& code) {
    // ICU echoes an unknown region's code back, which is the fallback wanted anyway.
    const icu::Locale locale("", code.toLatin1().constData());
    if (locale.isBogus())
        return code;
    icu::UnicodeString name;
    locale.getDisplayCountry(icu::Locale::getDefault(), name);
    const QString result = fromUnicode(name);
    return result.isEmpty() ? code : result;
}

} // namespace quorvex
