#include "platform/data/PlistSettingsFormat.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QSettings>
#include <QTimeZone>

using namespace quorvex;

namespace {

QString settingsPath() {
    return QDir::homePath() + QStringLiteral("/settings-test.plist");
}

} // namespace

TEST(PlistSettingsFormatTest, ValuesKeepTheirTypesAfterReload) {
    const QVariantMap nested{{"flag", false}, {"count", 3}};
    const QDateTime when(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc());
    {
        QSettings settings(settingsPath(), plistSettingsFormat());
        settings.setValue("off", false);
        settings.setValue("on", true);
        settings.setValue("negative", -42);
        settings.setValue("big", qlonglong(1) << 40);
        settings.setValue("real", 2.5);
        settings.setValue("text", QStringLiteral("héllo"));
        settings.setValue("data", QByteArray("\x00\x01\xff", 3));
        settings.setValue("list", QVariantList{1, QStringLiteral("two"), true});
        settings.setValue("map", nested);
        settings.setValue("date", when);
        settings.setValue("launch.com.example.app.arguments", QStringLiteral("-a b"));
    }
    QSettings reloaded(settingsPath(), plistSettingsFormat());
    EXPECT_EQ(reloaded.value("off").typeId(), QMetaType::Bool);
    EXPECT_FALSE(reloaded.value("off").toBool());
    EXPECT_EQ(reloaded.value("on").typeId(), QMetaType::Bool);
    EXPECT_EQ(reloaded.value("negative").toLongLong(), -42);
    EXPECT_EQ(reloaded.value("big").toLongLong(), qlonglong(1) << 40);
    EXPECT_EQ(reloaded.value("real").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(reloaded.value("real").toDouble(), 2.5);
    EXPECT_EQ(reloaded.value("text").toString(), QStringLiteral("héllo"));
    EXPECT_EQ(reloaded.value("data").typeId(), QMetaType::QByteArray);
    EXPECT_EQ(reloaded.value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(reloaded.value("list").toList().size(), 3);
    EXPECT_EQ(reloaded.value("list").toList().at(2).typeId(), QMetaType::Bool);
    EXPECT_EQ(reloaded.value("map").toMap().value("flag").typeId(), QMetaType::Bool);
    EXPECT_EQ(reloaded.value("date").toDateTime(), when);
    EXPECT_EQ(reloaded.value("launch.com.example.app.arguments").toString(), QStringLiteral("-a b"));
}

TEST(PlistSettingsFormatTest, UnreadableFileIsReportedNotSilentlyEmptied) {
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a property list");
    file.close();
    QSettings settings(settingsPath(), plistSettingsFormat());
    EXPECT_EQ(settings.status(), QSettings::FormatError);
}

TEST(PlistSettingsFormatTest, BinaryUtf16StringHoldingANulIsRefusedNotAborted) {
    // libplist 2.2 keeps such a string's full length and later asserts that it equals strlen(),
    // which aborts the program; as a key that cannot be avoided by reading it differently.
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"value {\"a\": \"x\\0é\"}",
         QByteArray(
             "bplist00\xd1\x01\x02\x51\x61\x63\x00\x78\x00\x00\x00\xe9\x08\x0b\x0d\x00\x00\x00\x00\x00\x00"
             "\x01"
             "\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
             "\x00\x14",
             55)},
        {"key {\"k\\0é\": true}",
         QByteArray(
             "bplist00\xd1\x01\x02\x63\x00\x6b\x00\x00\x00\xe9\x09\x08\x0b\x12\x00\x00\x00\x00\x00\x00\x01"
             "\x01"
             "\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
             "\x13",
             54)},
    };
    for (const Case& c : cases) {
        bool ok = true;
        EXPECT_FALSE(plistToVariant(c.bytes, &ok).isValid()) << c.name;
        EXPECT_FALSE(ok) << c.name;
    }

    // The same dictionary with "é" in place of the NUL reads as usual.
    QByteArray clean = cases[1].bytes;
    clean[15] = '\xe9';
    bool ok = false;
    const QVariantMap map = plistToVariant(clean, &ok).toMap();
    EXPECT_TRUE(ok);
    EXPECT_EQ(map.value(QString::fromUtf8("k\xc3\xa9\xc3\xa9")), QVariant(true));
}
