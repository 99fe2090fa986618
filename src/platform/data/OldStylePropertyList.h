#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <optional>

namespace quorvex {

/// A strict reader of old-style (OpenStep) property lists, the text that `simctl listapps`
/// prints: `{ key = value; }` dictionaries, `( a, b )` arrays, quoted and unquoted strings with
/// backslash and `\U00e9` escapes, `<0fbd 77>` data, and `//` or `/* */` comments. libplist 2.2
/// reads only the XML and binary forms.
///
/// Dictionaries become QVariantMap, arrays QVariantList, strings QString (the format has no
/// numbers or Booleans: `1` is the string "1"), data QByteArray. A key given twice keeps its
/// later value. Anything else is an error: a missing `;` or `=`, a non-string key, a character
/// that may not stand unquoted, an odd number of hex digits, an unpaired UTF-16 surrogate, an
/// octal escape above 0177 (its meaning depends on the NeXTSTEP encoding), invalid UTF-8, text
/// after the value, or nesting deeper than kMaxDepth. Any input is safe: no read past the end,
/// no unbounded recursion, time linear in the input.
class OldStylePropertyList final {
public:
    static constexpr int kMaxDepth = 256;

    /// The value the whole text holds, or nothing with `error` set to a line number and reason.
    static std::optional<QVariant> parse(QByteArrayView text, QString* error = nullptr);
};

} // namespace quorvex
