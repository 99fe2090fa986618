#include "platform/data/OldStylePropertyList.h"

#include "platform/data/PlistSettingsFormat.h"
#include "platform/data/PropertyList.h"

#include <gtest/gtest.h>

#include <QDebug>
#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>

#include <chrono>
#include <random>

using namespace quorvex;

namespace {

QVariant parsed(const char* text) {
    return OldStylePropertyList::parse(QByteArrayView(text)).value_or(QVariant(QStringLiteral("<error>")));
}

} // namespace

TEST(OldStylePropertyListTest, ReadsWhatSimctlListappsPrints) {
    const char* text = R"({
    "com.example.caf\U00e9" =     {
        ApplicationType = User;
        Bundle = "file:///Users/me/Library/Developer/CoreSimulator/Devices/A/data/Containers/Bundle/Application/B/Caf%20Lab.app/";
        CFBundleDisplayName = "Caf\U00e9 \"Lab\"";
        CFBundleVersion = 45;
        GroupContainers =         {
            "group.com.example" = "file:///tmp/group/";
        };
        SBAppTags =         (
        );
        UIDeviceFamily =         (
            1,
            2
        );
        Token = <0fbd 77FF>;
    };
    "com.apple.mobilesafari" = { ApplicationType = System; Path = "/Applications/MobileSafari.app"; };
}
)";
    QString error;
    const std::optional<QVariant> value = OldStylePropertyList::parse(QByteArrayView(text), &error);
    ASSERT_TRUE(value) << error.toStdString();
    const QVariantMap apps = value->toMap();
    ASSERT_EQ(apps.size(), 2);
    const QVariantMap app = apps.value(QStringLiteral("com.example.café")).toMap();
    EXPECT_EQ(app.value("ApplicationType"), QStringLiteral("User"));
    EXPECT_EQ(app.value("CFBundleDisplayName"), QStringLiteral("Café \"Lab\""));
    EXPECT_EQ(app.value("CFBundleVersion").typeId(), QMetaType::QString); // no numbers in this format
    EXPECT_EQ(app.value("CFBundleVersion"), QStringLiteral("45"));
    EXPECT_EQ(app.value("GroupContainers").toMap().value("group.com.example"),
              QStringLiteral("file:///tmp/group/"));
    EXPECT_EQ(app.value("SBAppTags"), QVariantList());
    EXPECT_EQ(app.value("UIDeviceFamily"), (QVariantList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(app.value("Token"), QByteArray("\x0f\xbd\x77\xff", 4));
}

TEST(OldStylePropertyListTest, ReadsEveryFormOfValue) {
    struct Case {
        const char* text;
        QVariant expected;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("plain")},
        {"  /usr/bin:x-1.2_$  ", QStringLiteral("/usr/bin:x-1.2_$")},
        {R"("")", QString()},
        {R"('single "quoted"')", QStringLiteral("single \"quoted\"")},
        {R"("a\tb\nc\\d\"e\'f\/g")", QStringLiteral("a\tb\nc\\d\"e'f/g")},
        {R"("\a\b\f\r\v")", QStringLiteral("\a\b\f\r\v")},
        {R"("\U00e9\U20AC\Ud83d\Ude00")", QStringLiteral("é€😀")},
        {R"("\U41BC")", QString(QChar(0x41BC))},
        {R"("\UE9x")", QStringLiteral("\u00E9x")}, // fewer than four digits end at a non-digit
        {R"("\101\12\0")", QString(QStringLiteral("A\n") + QChar(0))},
        {"\"raw UTF-8 é 😀\"", QStringLiteral("raw UTF-8 é 😀")},
        {"\"\\é\"", QStringLiteral("é")}, // an escaped multi-byte character stands for itself
        {"\xEF\xBB\xBF{a=b;}", QVariantMap{{"a", QStringLiteral("b")}}},
        {"<>", QByteArray()},
        {"< 00 ff\n10 >", QByteArray("\x00\xff\x10", 3)},
        {"()", QVariantList()},
        {"(a, b,)", QVariantList{QStringLiteral("a"), QStringLiteral("b")}},
        {"((a), {})", QVariantList{QVariantList{QStringLiteral("a")}, QVariantMap()}},
        {"{}", QVariantMap()},
        {"{a = 1; a = 2;}", QVariantMap{{"a", QStringLiteral("2")}}}, // the later value wins
        {"// head\n{ /* c */ a /**/ = // x\n b; }/* tail */", QVariantMap{{"a", QStringLiteral("b")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parsed(c.text), c.expected);
    }
}

TEST(OldStylePropertyListTest, RefusesMalformedText) {
    const char* cases[] = {
        "",
        "   // only a comment",
        "/* unterminated",
        "{a = b}",
        "{a b;}",
        "{a = ;}",
        "{(a) = b;}",
        "{a = b;",
        "(a b)",
        "(,)",
        "(a,,)",
        "(a",
        "\"open",
        "\"ends in a backslash\\",
        "'mixed\"",
        "<0>",
        "<0g>",
        "<0 0>",
        "<00",
        "a b",
        "{} {}",
        "#hash",
        "\"\\U\"",
        "\"\\Uzz\"",
        "\"\\Ud83d\"",        // a high surrogate alone
        "\"\\Ude00\\Ud83d\"", // in the wrong order
        "\"\\200\"",
        "\"\\777\"",
        "\"\xC3\"",         // a truncated sequence
        "\"\xC0\xAF\"",     // an overlong "/"
        "\"\xED\xA0\x80\"", // an encoded surrogate
        "\"\xFF\"",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        QString error;
        EXPECT_FALSE(OldStylePropertyList::parse(QByteArrayView(text), &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("line "))) << error.toStdString();
    }
}

TEST(OldStylePropertyListTest, ErrorNamesTheLine) {
    QString error;
    EXPECT_FALSE(OldStylePropertyList::parse(QByteArrayView("{\n a = b;\n c = d\n}"), &error));
    EXPECT_EQ(error, QStringLiteral("line 4: missing ';' after a dictionary value"));
}

TEST(OldStylePropertyListTest, NestingIsBoundedInsteadOfExhaustingTheStack) {
    const int limit = OldStylePropertyList::kMaxDepth;
    auto nested = [](int depth, char open, char close) {
        return QByteArray(depth, open) + "x" + QByteArray(depth, close);
    };
    EXPECT_TRUE(OldStylePropertyList::parse(nested(limit - 1, '(', ')')));
    EXPECT_FALSE(OldStylePropertyList::parse(nested(limit, '(', ')')));
    EXPECT_FALSE(OldStylePropertyList::parse(nested(1'000'000, '(', ')')));
    EXPECT_FALSE(OldStylePropertyList::parse(QByteArray(1'000'000, '{')));
}

TEST(OldStylePropertyListTest, AnyFormatReadsXmlBinaryAndOldStyle) {
    const QVariantMap value{
        {"CFBundleIcons", QVariantMap{{"files", QVariantList{QStringLiteral("AppIcon")}}}},
        {"name", QStringLiteral("Café")}};
    const QByteArray xml = variantToPlistXml(value);
    EXPECT_EQ(propertyListToVariant(xml), value);
    EXPECT_EQ(propertyListToVariant("\n  " + xml), value);
    EXPECT_EQ(propertyListToVariant(
                  QByteArray(R"({ CFBundleIcons = { files = (AppIcon); }; name = "Caf\U00e9"; })")),
              value);
    EXPECT_FALSE(propertyListToVariant(QByteArray("<?xml version=\"1.0\"?><plist><dict><key>")));
    EXPECT_FALSE(propertyListToVariant(QByteArray("bplist00 broken")));
    EXPECT_FALSE(propertyListToVariant(QByteArray("{ unterminated")));
}

// A binary property list as the platform's own writer makes it.
TEST(OldStylePropertyListTest, AnyFormatReadsBinary) {
    const QByteArray binary = QByteArray::fromHex("62706c6973743030d1010251615162080b0d0000000000000101000000"
                                                  "00000000030000000000000000000000000000000f");
    EXPECT_EQ(propertyListToVariant(binary), (QVariantMap{{"a", QStringLiteral("b")}}));
}

namespace {

// Writes a value as old-style text in one of the many ways the format allows, so reading it back
// must give the value again.
class RandomWriter {
public:
    explicit RandomWriter(std::mt19937& random)
        : m_random(random) {}

    QVariant randomValue(int depth) {
        const int kind = pick(depth > 4 ? 2 : 4);
        if (kind == 0)
            return randomString();
        if (kind == 1) {
            QByteArray bytes;
            for (int i = pick(6); i > 0; --i)
                bytes.append(static_cast<char>(pick(256)));
            return bytes;
        }
        if (kind == 2) {
            QVariantList list;
            for (int i = pick(4); i > 0; --i)
                list.append(randomValue(depth + 1));
            return list;
        }
        QVariantMap map;
        for (int i = pick(4); i > 0; --i)
            map.insert(randomString(), randomValue(depth + 1));
        return map;
    }

    QByteArray write(const QVariant& value) {
        QByteArray out = space();
        switch (value.typeId()) {
        case QMetaType::QByteArray:
            out += '<';
            for (const char byte : value.toByteArray())
                out += (pick(2) ? QByteArray(1, byte).toHex() : QByteArray(1, byte).toHex().toUpper()) +
                       space(false);
            out += '>';
            break;
        case QMetaType::QVariantList: {
            out += '(';
            const QVariantList list = value.toList();
            for (qsizetype i = 0; i < list.size(); ++i)
                out += write(list[i]) + space() + (i + 1 < list.size() || pick(2) ? "," : "");
            out += space() + ')';
            break;
        }
        case QMetaType::QVariantMap: {
            out += '{';
            const QVariantMap map = value.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                out += writeString(it.key()) + space() + '=' + write(it.value()) + space() + ';';
            out += space() + '}';
            break;
        }
        default:
            out += writeString(value.toString());
        }
        return out + space();
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QString randomString() {
        static const char16_t alphabet[] = u"aZ09_$/:.- \"'\\\n\t\u00e9\u20ac\u0001";
        QString text;
        for (int i = pick(8); i > 0; --i) {
            if (pick(10) == 0)
                text += QStringLiteral("😀");
            else
                text += QChar(alphabet[pick(std::size(alphabet) - 1)]);
        }
        return text;
    }

    QByteArray writeString(const QString& text) {
        static const QRegularExpression unquotedOk(
            QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_$/:.-]+")));
        // An unquoted string takes up a following "/", so a comment right after it would be part
        // of it; the blank keeps them apart. One that starts with "//" would read as a comment.
        if (unquotedOk.match(text).hasMatch() && !text.startsWith(QStringLiteral("//")) && pick(2))
            return text.toLatin1() + ' ';
        const char quote = pick(2) ? '"' : '\'';
        QByteArray out(1, quote);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t unit = text[i].unicode();
            if (unit == quote || unit == '\\') {
                out += '\\' + QByteArray(1, static_cast<char>(unit));
            } else if (unit == '\n') {
                out += pick(2) ? "\\n" : "\n";
            } else if (unit < 0x20) {
                out += '\\' + QByteArray::number(unit, 8).rightJustified(3, '0');
            } else {
                // A surrogate pair is one character: both halves escaped, or both raw.
                const qsizetype length = QChar::isHighSurrogate(unit) && i + 1 < text.size() ? 2 : 1;
                if (unit >= 0x80 && pick(2)) {
                    for (qsizetype k = i; k < i + length; ++k)
                        out += "\\U" + QByteArray::number(text[k].unicode(), 16).rightJustified(4, '0');
                } else {
                    out += text.mid(i, length).toUtf8();
                }
                i += length - 1;
            }
        }
        return out + quote;
    }

    QByteArray space(bool comments = true) {
        switch (pick(comments ? 6 : 3)) {
        case 0:
            return " ";
        case 1:
            return "\n\t";
        case 3:
            return "/* c */";
        case 4:
            return "// c\n";
        default:
            return {};
        }
    }

    std::mt19937& m_random;
};

} // namespace

std::string describe(const QVariant& value) {
    QString text;
    QDebug(&text) << value;
    return text.toStdString();
}

TEST(OldStylePropertyListTest, RandomValuesReadBackAsWritten) {
    std::mt19937 random(20261210);
    RandomWriter writer(random);
    for (int i = 0; i < 20'000; ++i) {
        const QVariant value = writer.randomValue(0);
        const QByteArray text = writer.write(value);
        QString error;
        const std::optional<QVariant> back = OldStylePropertyList::parse(text, &error);
        ASSERT_TRUE(back) << "round " << i << ": " << error.toStdString() << "\n" << text.toStdString();
        ASSERT_EQ(*back, value) << "round " << i << ":\n"
                                << text.toStdString() << "\nread back as\n"
                                << describe(*back) << "\ninstead of\n"
                                << describe(value);
    }
}

// The normal suite's share of the fuzzing (the libFuzzer target in fuzz/ runs far longer): valid
// texts cut, spliced and flipped at random, and plain random bytes, must each give a value or an
// error, quickly. Run it under the asan preset to catch reads out of range.
TEST(OldStylePropertyListTest, RandomDamagedInputNeverCrashesOrHangs) {
    std::mt19937 random(7);
    RandomWriter writer(random);
    std::vector<QByteArray> seeds;
    for (int i = 0; i < 64; ++i)
        seeds.push_back(writer.write(writer.randomValue(0)));
    const auto pick = [&](qsizetype n) {
        return n <= 0 ? qsizetype(0) : std::uniform_int_distribution<qsizetype>(0, n - 1)(random);
    };
    const auto started = std::chrono::steady_clock::now();
    int accepted = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        QByteArray text = seeds[pick(seeds.size())];
        switch (pick(4)) {
        case 0:
            text.truncate(pick(text.size() + 1));
            break;
        case 1:
            text.insert(pick(text.size() + 1), seeds[pick(seeds.size())].left(pick(16)));
            break;
        case 2:
            for (int flips = 1 + int(pick(4)); flips > 0 && !text.isEmpty(); --flips)
                text[pick(text.size())] = static_cast<char>(pick(256));
            break;
        default:
            text = QByteArray(pick(64), Qt::Uninitialized);
            for (char& byte : text)
                byte = "{}()<>;=,\"'\\/*aU0 \n\xC3\xA9"[pick(22)];
        }
        QString error;
        const std::optional<QVariant> value = OldStylePropertyList::parse(text, &error);
        accepted += value.has_value();
        ASSERT_EQ(value.has_value(), error.isEmpty()) << text.toStdString();
    }
    EXPECT_GT(accepted, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}
