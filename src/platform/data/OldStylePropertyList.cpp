#include "platform/data/OldStylePropertyList.h"

#include <QStringDecoder>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>

namespace quorvex {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The characters that may stand unquoted, as CoreFoundation's writer leaves them.
bool isUnquoted(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Recursive descent over the bytes. Every read checks m_pos against m_end first; nesting is
// bounded by kMaxDepth, so hostile input can neither read out of range nor exhaust the stack.
class Parser {
public:
    explicit Parser(QByteArrayView text)
        : m_begin(text.data())
        , m_pos(text.data())
        , m_end(text.data() + text.size()) {}

    std::optional<QVariant> document() {
        if (m_end - m_pos >= 3 && QByteArrayView(m_pos, 3) == "\xEF\xBB\xBF")
            m_pos += 3;
        if (!skipSpace())
            return std::nullopt;
        if (m_pos == m_end)
            return fail("no value");
        std::optional<QVariant> result = value(0);
        if (!result || !skipSpace())
            return std::nullopt;
        if (m_pos != m_end)
            return fail("text after the value");
        return result;
    }

    const QString& error() const { return m_error; }

private:
    std::nullopt_t fail(const char* reason) {
        if (m_error.isEmpty()) {
            const auto line = std::count(m_begin, std::min(m_pos, m_end), '\n') + 1;
            m_error = QStringLiteral("line %1: %2").arg(line).arg(QLatin1StringView(reason));
        }
        return std::nullopt;
    }

    // Skips white space and comments; false on a comment that never ends.
    bool skipSpace() {
        while (m_pos != m_end) {
            if (isSpace(*m_pos)) {
                ++m_pos;
            } else if (*m_pos == '/' && m_end - m_pos >= 2 && m_pos[1] == '/') {
                m_pos = std::find(m_pos + 2, m_end, '\n');
            } else if (*m_pos == '/' && m_end - m_pos >= 2 && m_pos[1] == '*') {
                const QByteArrayView rest(m_pos + 2, m_end - m_pos - 2);
                const qsizetype close = rest.indexOf(QByteArrayView("*/"));
                if (close < 0) {
                    fail("unterminated comment");
                    return false;
                }
                m_pos += 2 + close + 2;
            } else {
                return true;
            }
        }
        return true;
    }

    std::optional<QVariant> value(int depth) {
        if (depth >= OldStylePropertyList::kMaxDepth)
            return fail("nested too deeply");
        if (m_pos == m_end)
            return fail("missing value");
        switch (*m_pos) {
        case '{':
            return dictionary(depth);
        case '(':
            return array(depth);
        case '<':
            return data();
        default:
            if (std::optional<QString> text = string())
                return QVariant(*text);
            return std::nullopt;
        }
    }

    std::optional<QVariant> dictionary(int depth) {
        ++m_pos; // '{'
        QVariantMap map;
        for (;;) {
            if (!skipSpace())
                return std::nullopt;
            if (m_pos == m_end)
                return fail("unterminated dictionary");
            if (*m_pos == '}') {
                ++m_pos;
                return QVariant(map);
            }
            std::optional<QString> key = string();
            if (!key || !skipSpace())
                return std::nullopt;
            if (m_pos == m_end || *m_pos != '=')
                return fail("missing '=' after a dictionary key");
            ++m_pos;
            if (!skipSpace())
                return std::nullopt;
            std::optional<QVariant> item = value(depth + 1);
            if (!item || !skipSpace())
                return std::nullopt;
            if (m_pos == m_end || *m_pos != ';')
                return fail("missing ';' after a dictionary value");
            ++m_pos;
            map.insert(*key, std::move(*item));
        }
    }

    std::optional<QVariant> array(int depth) {
        ++m_pos; // '('
        QVariantList list;
        for (;;) {
            if (!skipSpace())
                return std::nullopt;
            if (m_pos == m_end)
                return fail("unterminated array");
            if (*m_pos == ')') {
                ++m_pos;
                return QVariant(list);
            }
            std::optional<QVariant> item = value(depth + 1);
            if (!item || !skipSpace())
                return std::nullopt;
            list.append(std::move(*item));
            if (m_pos == m_end)
                return fail("unterminated array");
            if (*m_pos == ',')
                ++m_pos;
            else if (*m_pos != ')')
                return fail("missing ',' between array items");
        }
    }

    std::optional<QVariant> data() {
        ++m_pos; // '<'
        QByteArray bytes;
        for (;;) {
            while (m_pos != m_end && isSpace(*m_pos))
                ++m_pos;
            if (m_pos == m_end)
                return fail("unterminated data");
            if (*m_pos == '>') {
                ++m_pos;
                return QVariant(bytes);
            }
            const int high = hexValue(*m_pos);
            const int low = m_end - m_pos >= 2 ? hexValue(m_pos[1]) : -1;
            if (high < 0 || low < 0)
                return fail("data must be pairs of hex digits");
            bytes.append(static_cast<char>(high * 16 + low));
            m_pos += 2;
        }
    }

    std::optional<QString> string() {
        if (m_pos != m_end && (*m_pos == '"' || *m_pos == '\''))
            return quoted(*m_pos);
        const char* start = m_pos;
        while (m_pos != m_end && isUnquoted(*m_pos))
            ++m_pos;
        if (m_pos == start)
            return fail("unexpected character");
        return QString::fromLatin1(start, m_pos - start);
    }

    // Appends the raw bytes [from, m_pos) as UTF-8; false when they are not valid UTF-8.
    bool appendRun(QString& out, const char* from) {
        if (from == m_pos)
            return true;
        const QByteArrayView run(from, m_pos - from);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(run);
        if (decoder.hasError()) {
            fail("invalid UTF-8 in a string");
            return false;
        }
        out += text;
        return true;
    }

    std::optional<QString> quoted(char quote) {
        ++m_pos;
        QString out;
        const char* run = m_pos;
        while (m_pos != m_end) {
            const char c = *m_pos;
            if (c == quote) {
                if (!appendRun(out, run))
                    return std::nullopt;
                ++m_pos;
                if (!out.isValidUtf16())
                    return fail("unpaired UTF-16 surrogate in a string");
                return out;
            }
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            if (!appendRun(out, run))
                return std::nullopt;
            ++m_pos; // '\'
            if (m_pos == m_end)
                break;
            if (!escape(out))
                return std::nullopt;
            run = m_pos;
        }
        return fail("unterminated string");
    }

    // Reads one escape after the backslash. An escaped character without a meaning of its own
    // stands for itself (so "\/" is "/"), as in CoreFoundation.
    bool escape(QString& out) {
        const char c = *m_pos;
        const auto single = [&](char16_t unit) {
            out += QChar(unit);
            ++m_pos;
            return true;
        };
        switch (c) {
        case 'a':
            return single(u'\a');
        case 'b':
            return single(u'\b');
        case 'f':
            return single(u'\f');
        case 'n':
            return single(u'\n');
        case 'r':
            return single(u'\r');
        case 't':
            return single(u'\t');
        case 'v':
            return single(u'\v');
        case 'U': {
            ++m_pos;
            unsigned unit = 0;
            int digits = 0;
            for (; digits < 4 && m_pos != m_end && hexValue(*m_pos) >= 0; ++digits, ++m_pos)
                unit = unit * 16 + static_cast<unsigned>(hexValue(*m_pos));
            if (digits == 0) {
                fail("\\U without hex digits");
                return false;
            }
            out += QChar(static_cast<char16_t>(unit));
            return true;
        }
        default:
            break;
        }
        if (c >= '0' && c <= '7') {
            unsigned code = 0;
            for (int digits = 0; digits < 3 && m_pos != m_end && *m_pos >= '0' && *m_pos <= '7';
                 ++digits, ++m_pos)
                code = code * 8 + static_cast<unsigned>(*m_pos - '0');
            if (code > 0177) {
                fail("octal escape outside ASCII");
                return false;
            }
            out += QChar(static_cast<char16_t>(code));
            return true;
        }
        // The character itself: the next run starts at it and takes it up whole, multi-byte or
        // not. A quote or backslash is taken here, or the run would read it as an end or an escape.
        if (c == '"' || c == '\'' || c == '\\')
            return single(static_cast<char16_t>(c));
        return true;
    }

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    QString m_error;
};

} // namespace

std::optional<QVariant> OldStylePropertyList::parse(QByteArrayView text, QString* error) {
    Parser parser(text);
    std::optional<QVariant> result = parser.document();
    if (error)
        *error = result ? QString() : parser.error();
    return result;
}

} // namespace quorvex
