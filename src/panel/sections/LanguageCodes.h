#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex {

/// The languages the panel's language picker offers, how a simulator's language maps onto one
/// of them, and the names shown for languages and regions.
class LanguageCodes final {
public:
    LanguageCodes() = delete;

    /// The offered codes, in menu order.
    static const QStringList& codes();

    /// The offered code a simulator's language stands for: the longest code that equals it or
    /// that it starts with followed by "-" ("en-AU" → "en", "zh-Hans-CN" → "zh-Hans"); none when
    /// no code fits ("pt", "fil").
    static std::optional<QString> match(const QString& language);

    /// "German": the language's name in the user's language, or the code when there is none.
    static QString languageName(const QString& code);
    /// "Germany": the region's name in the user's language, or the code when there is none.
    static QString regionName(const QString& code);
};

} // namespace quorvex
