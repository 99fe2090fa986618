#include "devices/core/SplitQuotedWords.h"

#include <optional>

namespace quorvex {

QStringList splitQuotedWords(const QString& text) {
    QStringList words;
    QString current;
    std::optional<QChar> quote;
    for (const QChar c : text) {
        if (quote) {
            if (c == *quote)
                quote.reset();
            else
                current.append(c);
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c.isSpace()) {
            if (!current.isEmpty())
                words.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        words.append(current);
    return words;
}

} // namespace quorvex
