#pragma once

#include <QString>

namespace quorvex {

/// Plain string order by Unicode code points. QString's own operator< compares UTF-16 units,
/// which puts characters above U+FFFF before U+E000..U+FFFF.
inline bool codePointLess(const QString& a, const QString& b) {
    return a.toUcs4() < b.toUcs4();
}

} // namespace quorvex
