#include "app/Appcast.h"

#include <QXmlStreamReader>

namespace quorvex {
namespace {

const QString kSparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

struct Token {
    bool number;
    QString text; // digits without leading zeros, or the letters
};

std::vector<Token> tokenize(const QString& version) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < version.size()) {
        const QChar c = version[i];
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < version.size() && version[j].isDigit())
                ++j;
            QString digits = version.mid(i, j - i);
            while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
                digits.remove(0, 1);
            tokens.push_back({true, digits});
            i = j;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < version.size() && version[j].isLetter())
                ++j;
            tokens.push_back({false, version.mid(i, j - i).toLower()});
            i = j;
        } else {
            ++i; // separators only separate
        }
    }
    return tokens;
}

int compareNumbers(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// What the rest of the longer version means: only zeros = the same, a number first = newer,
// letters first = a pre-release of the shorter one.
int compareRemainder(const std::vector<Token>& tokens, size_t from) {
    for (size_t i = from; i < tokens.size(); ++i) {
        if (!tokens[i].number)
            return -1;
        if (tokens[i].text != QLatin1String("0"))
            return 1;
    }
    return 0;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

int compareVersions(const QString& a, const QString& b) {
    const std::vector<Token> left = tokenize(a);
    const std::vector<Token> right = tokenize(b);
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
        const Token& l = left[i];
        const Token& r = right[i];
        if (l.number != r.number)
            return l.number ? 1 : -1; // "1.0.1" is newer than "1.0b1"
        const int c = l.number ? compareNumbers(l.text, r.text) : l.text.compare(r.text);
        if (c != 0)
            return sign(c);
    }
    if (left.size() > common)
        return compareRemainder(left, common);
    if (right.size() > common)
        return -compareRemainder(right, common);
    return 0;
}

std::optional<Appcast> Appcast::parse(const QByteArray& xml, QString* error) {
    QXmlStreamReader reader(xml);
    Appcast result;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    bool itemHasChannel = false;
    QUrl link, notes, enclosure;

    auto webPage = [](const QString& text) {
        const QUrl url(text.trimmed(), QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"))
                   ? url
                   : QUrl();
    };

    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            const bool sparkle = reader.namespaceUri() == kSparkleNamespace;
            if (!sparkle && name == QLatin1String("channel")) {
                sawChannel = true;
            } else if (!sparkle && name == QLatin1String("item")) {
                item = AppcastItem{};
                itemHasChannel = false;
                link = notes = enclosure = QUrl();
            } else if (!item) {
                continue;
            } else if (!sparkle && name == QLatin1String("title")) {
                item->title = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (!sparkle && name == QLatin1String("link")) {
                link = webPage(reader.readElementText(QXmlStreamReader::SkipChildElements));
            } else if (sparkle && name == QLatin1String("version")) {
                item->version = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (sparkle && name == QLatin1String("shortVersionString")) {
                item->displayVersion = reader.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            } else if (sparkle && name == QLatin1String("releaseNotesLink")) {
                notes = webPage(reader.readElementText(QXmlStreamReader::SkipChildElements));
            } else if (sparkle && name == QLatin1String("channel")) {
                itemHasChannel = true;
            } else if (!sparkle && name == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = reader.attributes();
                if (item->version.isEmpty())
                    item->version =
                        attributes.value(kSparkleNamespace, QStringLiteral("version")).toString().trimmed();
                if (item->displayVersion.isEmpty())
                    item->displayVersion =
                        attributes.value(kSparkleNamespace, QStringLiteral("shortVersionString"))
                            .toString()
                            .trimmed();
                enclosure = webPage(attributes.value(QStringLiteral("url")).toString());
            }
        } else if (reader.isEndElement() && item && reader.name() == QLatin1String("item") &&
                   reader.namespaceUri().isEmpty()) {
            if (!item->version.isEmpty() && !itemHasChannel) {
                if (item->displayVersion.isEmpty())
                    item->displayVersion = item->version;
                item->page = !link.isEmpty() ? link : !notes.isEmpty() ? notes : enclosure;
                result.items.push_back(*item);
            }
            item.reset();
        }
    }
    if (reader.hasError() || !sawChannel) {
        if (error) {
            *error = reader.hasError() ? QStringLiteral("The update feed is not valid XML (line %1: %2).")
                                             .arg(reader.lineNumber())
                                             .arg(reader.errorString())
                                       : QStringLiteral("The update feed has no channel.");
        }
        return std::nullopt;
    }
    return result;
}

const AppcastItem* Appcast::newest() const {
    const AppcastItem* best = nullptr;
    for (const AppcastItem& candidate : items) {
        if (!best || compareVersions(candidate.version, best->version) > 0)
            best = &candidate;
    }
    return best;
}

} // namespace quorvex
