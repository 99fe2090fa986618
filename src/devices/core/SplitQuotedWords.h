#pragma once

#include <QString>
#include <QStringList>

namespace quorvex {

/// Splits a launch-argument line into words at whitespace. Double or single quotes group
/// (whitespace inside stays) but do not separate: `a"b c"d` is one word `ab cd`. Empty quotes add
/// nothing; an unclosed quote runs to the end.
QStringList splitQuotedWords(const QString& text);

} // namespace quorvex
