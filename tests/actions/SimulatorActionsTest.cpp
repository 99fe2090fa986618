#include "actions/SimulatorActions.h"

#include "ActionsTestSupport.h"
#include "support/FakeXcrun.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>

using namespace quorvex;
using Kind = SimulatorActions::Kind;
using Preset = SimulatorActions::Preset;
using Recent = SimulatorActions::Recent;

namespace {

class SimulatorActionsTest : public ::testing::Test {
protected:
    void SetUp() override { test::clearStores(); }
    void TearDown() override { test::clearStores(); }

    test::FakeXcrun fake;
    test::ScopedTemporaryFolder temporary;
    SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}, {"UDID-B", "iPad Air"}});
    const SimulatorInstall& onA = app.installs[0];
    const SimulatorInstall& onB = app.installs[1];
};

QUuid uuid(const char* text) {
    return QUuid::fromString(QLatin1String(text));
}

QByteArray stored(const char* key) {
    const QVariant value = sharedDefaults().value(QLatin1String(key));
    EXPECT_EQ(value.typeId(), QMetaType::QByteArray) << key << " must be stored as data";
    return value.toByteArray();
}

} // namespace

TEST_F(SimulatorActionsTest, StoredFormsHaveTheirExactShapeAndReadBackWhole) {
    const SimulatorActions::Presets presets = {
        {QStringLiteral("com.example.demo"),
         {Preset{uuid("5b0f2a64-3c1e-4a8e-9d3b-0a1b2c3d4e5f"), QStringLiteral("Order"),
                 Kind::deepLink(QStringLiteral("myapp://orders/1"))},
          Preset{uuid("6C1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F"), QStringLiteral("Caf\u00E9"),
                 Kind::push(QStringLiteral("Caf\u00E9"), QStringLiteral("{\"aps\":{}}\n"))}}},
        {QStringLiteral("com.example.empty"), {}},
    };
    const std::vector<Recent> history = {
        Recent{uuid("7D1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F"), Kind::deepLink(QStringLiteral("myapp:")),
               QStringLiteral("com.example.demo"), QStringLiteral("Demo"), QStringLiteral("UDID-A"),
               QStringLiteral("iPhone 15"),
               QDateTime::fromString(QStringLiteral("2024-01-01T00:00:00.500Z"), Qt::ISODateWithMs)},
    };

    // Upper-case UUIDs whatever their source, a Kind as one key, dates from 2001-01-01 UTC.
    EXPECT_EQ(
        SimulatorActions::encodePresets(presets).toStdString(),
        R"({"com.example.demo":[)"
        R"({"id":"5B0F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F","name":"Order","kind":{"deepLink":{"url":"myapp://orders/1"}}},)"
        R"({"id":"6C1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F","name":"Café","kind":{"push":{"name":"Café","payload":"{\"aps\":{}}\n"}}}],)"
        R"("com.example.empty":[]})");
    EXPECT_EQ(SimulatorActions::encodeHistory(history).toStdString(),
              R"([{"id":"7D1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F","kind":{"deepLink":{"url":"myapp:"}},)"
              R"("bundleID":"com.example.demo","appName":"Demo","udid":"UDID-A","deviceName":"iPhone 15",)"
              R"("date":725760000.5}])");

    // Written by other encoders: escaped slashes, a whole-second date, a lower-case UUID, keys in
    // another order and keys this version does not know.
    const auto foreign = SimulatorActions::decodeHistory(
        R"([{"date":0,"extra":true,"udid":"U","deviceName":"D","appName":"A","bundleID":"b",)"
        R"("kind":{"deepLink":{"url":"myapp:\/\/x"}},"id":"7d1f2a64-3c1e-4a8e-9d3b-0a1b2c3d4e5f"}])");
    ASSERT_EQ(foreign.size(), 1u);
    EXPECT_EQ(foreign[0].kind, Kind::deepLink(QStringLiteral("myapp://x")));
    EXPECT_EQ(foreign[0].id, uuid("7D1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F"));
    EXPECT_EQ(foreign[0].date, QDateTime::fromString(QStringLiteral("2001-01-01T00:00:00Z"), Qt::ISODate));

    {
        SimulatorActions actions;
        actions.savePreset(presets.begin()->second[0], QStringLiteral("com.example.demo"));
        actions.savePreset(presets.begin()->second[1], QStringLiteral("com.example.demo"));
        actions.savePreset(presets.begin()->second[0], QStringLiteral("com.example.empty"));
        actions.deletePreset(presets.begin()->second[0].id, QStringLiteral("com.example.empty"));
    }
    EXPECT_EQ(stored("actionPresets"), SimulatorActions::encodePresets(presets));
    sharedDefaults().setValue(QStringLiteral("actionHistory"), SimulatorActions::encodeHistory(history));
    const SimulatorActions reloaded;
    EXPECT_EQ(reloaded.presets(), presets);
    EXPECT_EQ(reloaded.history(), history);
}

TEST_F(SimulatorActionsTest, AnyMalformedEntryEmptiesTheWholeStore) {
    const std::string good =
        R"({"id":"7D1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F","kind":{"deepLink":{"url":"myapp:"}},)"
        R"("bundleID":"b","appName":"A","udid":"U","deviceName":"D","date":1.25})";
    auto withKind = [&](const std::string& kind) {
        std::string entry = good;
        entry.replace(entry.find(R"({"deepLink":{"url":"myapp:"}})"), 29, kind);
        return "[" + good + "," + entry + "]";
    };
    struct Case {
        const char* what;
        std::string history;
    };
    const Case cases[] = {
        {"a kind with two keys", withKind(R"({"deepLink":{"url":"a:"},"push":{"name":"n","payload":"p"}})")},
        {"a kind with no key", withKind("{}")},
        {"an unknown kind", withKind(R"({"share":{"url":"a:"}})")},
        {"a kind missing its url", withKind(R"({"deepLink":{}})")},
        {"a missing key", "[" + good + R"(,{"id":"7D1F2A64-3C1E-4A8E-9D3B-0A1B2C3D4E5F"}])"},
        {"a date as text", "[" + std::string(good).replace(good.find("1.25"), 4, "\"1.25\"") + "]"},
        {"a broken UUID", "[" + std::string(good).replace(good.find("7D1F"), 4, "XXXX") + "]"},
        {"no JSON at all", "{not json"},
        {"an object instead of an array", "{}"},
    };
    {
        // The good entry alone reads, so each failure below is the damage's.
        sharedDefaults().setValue(QStringLiteral("actionHistory"),
                                  QByteArray::fromStdString("[" + good + "]"));
        EXPECT_EQ(SimulatorActions().history().size(), 1u);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sharedDefaults().setValue(QStringLiteral("actionHistory"), QByteArray::fromStdString(c.history));
        EXPECT_TRUE(SimulatorActions().history().empty());
    }
    try {
        SimulatorActions::decodeHistory(QByteArray::fromStdString(cases[0].history));
        ADD_FAILURE() << "a kind with two keys must not decode";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
    }
}

TEST_F(SimulatorActionsTest, HistoryKeepsOneEntryPerActionAppAndSimulator) {
    fake.on({"simctl", "openurl", "**"}).on({"simctl", "push", "**"});
    SimulatorActions actions;
    QSignalSpy changes(&actions, &SimulatorActions::historyChanged);
    const Kind link = Kind::deepLink(QStringLiteral("myapp://a"));

    ASSERT_EQ(actions.perform(link, app, onA), std::nullopt);
    const Recent first = actions.history().front();
    ASSERT_EQ(actions.perform(Kind::deepLink(QStringLiteral("myapp://b")), app, onA), std::nullopt);
    // Renaming the simulator does not make the same action a new one.
    SimulatorInstall renamed = onA;
    renamed.deviceName = QStringLiteral("Renamed");
    ASSERT_EQ(actions.perform(link, app, renamed), std::nullopt);

    ASSERT_EQ(actions.history().size(), 2u);
    const Recent& again = actions.history().front();
    EXPECT_EQ(again.kind, link);
    EXPECT_NE(again.id, first.id);
    EXPECT_GE(again.date, first.date);
    EXPECT_EQ(again.deviceName, QStringLiteral("Renamed"));
    EXPECT_EQ(changes.count(), 3);

    // The same link on another simulator, and a push of the same name with another payload.
    ASSERT_EQ(actions.perform(link, app, onB), std::nullopt);
    ASSERT_EQ(actions.perform(Kind::push(QStringLiteral("P"), QStringLiteral(R"({"aps":{}})")), app, onA),
              std::nullopt);
    ASSERT_EQ(
        actions.perform(Kind::push(QStringLiteral("P"), QStringLiteral(R"({"aps":{"badge":1}})")), app, onA),
        std::nullopt);
    EXPECT_EQ(actions.history().size(), 5u);
    EXPECT_EQ(SimulatorActions::decodeHistory(stored("actionHistory")), actions.history());
}

TEST_F(SimulatorActionsTest, SixteenActionsKeepTheFifteenNewest) {
    fake.on({"simctl", "openurl", "**"});
    SimulatorActions actions;
    for (int i = 1; i <= 16; ++i)
        ASSERT_EQ(actions.perform(Kind::deepLink(QStringLiteral("myapp://%1").arg(i)), app, onA),
                  std::nullopt);
    ASSERT_EQ(actions.history().size(), 15u);
    EXPECT_EQ(actions.history().front().kind, Kind::deepLink(QStringLiteral("myapp://16")));
    EXPECT_EQ(actions.history().back().kind, Kind::deepLink(QStringLiteral("myapp://2")));
    EXPECT_EQ(SimulatorActions().history().size(), 15u);

    // A longer stored history is read as it is; the next recording trims it.
    std::vector<Recent> longer(17, actions.history().front());
    for (Recent& recent : longer)
        recent.id = QUuid::createUuid();
    sharedDefaults().setValue(QStringLiteral("actionHistory"), SimulatorActions::encodeHistory(longer));
    SimulatorActions reloaded;
    EXPECT_EQ(reloaded.history().size(), 17u);
    ASSERT_EQ(reloaded.perform(Kind::deepLink(QStringLiteral("myapp://new")), app, onA), std::nullopt);
    EXPECT_EQ(reloaded.history().size(), 15u);
}

TEST_F(SimulatorActionsTest, FailedDeliveryRecordsNothingAndSaysWhy) {
    fake.on({"simctl", "openurl", "**"}, "", 1).on({"simctl", "push", "**"}, "", 1);
    SimulatorActions actions;
    test::ToastLog toasts;
    struct Case {
        Kind kind;
        ToastMessage toast;
    };
    const Case cases[] = {
        {Kind::deepLink(QStringLiteral("myapp://x")),
         {QStringLiteral("Couldn\u2019t open myapp://x"),
          QStringLiteral(
              "The simulator couldn\u2019t open it. Is the URL scheme registered by an installed app?"),
          QStringLiteral("exclamationmark.triangle"), true}},
        {Kind::push(QStringLiteral("Hi"), QStringLiteral(R"({"aps":{}})")),
         {QStringLiteral("Couldn\u2019t send Push \u201CHi\u201D"),
          QStringLiteral("simctl couldn\u2019t deliver the notification."),
          QStringLiteral("exclamationmark.triangle"), true}},
        {Kind::push(QStringLiteral("Hi"), QStringLiteral("[]")),
         {QStringLiteral("Couldn\u2019t send Push \u201CHi\u201D"),
          QStringLiteral("The payload must be a JSON object."), QStringLiteral("exclamationmark.triangle"),
          true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind.title().toStdString());
        EXPECT_EQ(actions.perform(c.kind, app, onA), c.toast.detail);
        ASSERT_FALSE(toasts.messages().empty());
        EXPECT_EQ(toasts.messages().back(), c.toast);
    }
    EXPECT_TRUE(actions.history().empty());
    EXPECT_FALSE(sharedDefaults().contains(QStringLiteral("actionHistory")));
}

TEST_F(SimulatorActionsTest, SuccessToastNamesTheActionAppAndSimulator) {
    fake.on({"simctl", "openurl", "**"}).on({"simctl", "push", "**"});
    SimulatorActions actions;
    test::ToastLog toasts;
    actions.perform(Kind::deepLink(QStringLiteral("myapp://x")), app, onB);
    actions.perform(Kind::push(QStringLiteral("Hi"), QStringLiteral(R"({"aps":{}})")), app, onB);
    ASSERT_EQ(toasts.messages().size(), 2u);
    EXPECT_EQ(toasts.messages()[0],
              (ToastMessage{QStringLiteral("Open myapp://x"), QStringLiteral("Demo on iPad Air"),
                            QStringLiteral("link"), false}));
    EXPECT_EQ(toasts.messages()[1],
              (ToastMessage{QStringLiteral("Send Push \u201CHi\u201D"), QStringLiteral("Demo on iPad Air"),
                            QStringLiteral("bell.badge"), false}));
}

TEST_F(SimulatorActionsTest, RepeatDeliversAgainAndNeverChangesTheHistory) {
    fake.on({"simctl", "openurl", "*", "myapp://ok"}).on({"simctl", "push", "**"});
    SimulatorActions actions;
    actions.perform(Kind::deepLink(QStringLiteral("myapp://ok")), app, onA);
    actions.perform(Kind::push(QStringLiteral("Hi"), QStringLiteral(R"({"aps":{}})")), app, onB);
    const std::vector<Recent> before = actions.history();
    const QByteArray storedBefore = stored("actionHistory");
    QSignalSpy changes(&actions, &SimulatorActions::historyChanged);
    test::ToastLog toasts;
    fake.clearLog();

    actions.repeatLast();
    actions.repeat(before[1]);
    Recent gone = before[1];
    gone.kind = Kind::deepLink(QStringLiteral("myapp://gone"));
    actions.repeat(gone);

    EXPECT_EQ(fake.argumentLists().size(), 3u);
    EXPECT_EQ(fake.argumentLists()[1],
              (std::vector<std::string>{"simctl", "openurl", "UDID-A", "myapp://ok"}));
    ASSERT_EQ(toasts.messages().size(), 3u);
    EXPECT_EQ(toasts.messages()[0], (ToastMessage{QStringLiteral("Send Push \u201CHi\u201D"),
                                                  QStringLiteral("Repeated for Demo on iPad Air"),
                                                  QStringLiteral("arrow.clockwise"), false}));
    EXPECT_EQ(
        toasts.messages()[2],
        (ToastMessage{
            QStringLiteral("Couldn\u2019t repeat"),
            QStringLiteral(
                "The simulator couldn\u2019t open it. Is the URL scheme registered by an installed app?"),
            QStringLiteral("exclamationmark.triangle"), true}));
    EXPECT_EQ(actions.history(), before);
    EXPECT_EQ(stored("actionHistory"), storedBefore);
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(SimulatorActionsTest, RepeatLastWithNoHistoryRunsNothing) {
    SimulatorActions actions;
    test::ToastLog toasts;
    actions.repeatLast();
    EXPECT_TRUE(fake.calls().empty());
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0], (ToastMessage{QStringLiteral("Nothing to repeat yet"),
                                                  QStringLiteral("Open a deep link or send a push first."),
                                                  QStringLiteral("arrow.clockwise"), true}));
}

TEST_F(SimulatorActionsTest, PresetNamesAreUniquePerCaseWithinAnApp) {
    SimulatorActions actions;
    const QString demo = QStringLiteral("com.example.demo");
    const Preset oldPush{QUuid::createUuid(), QStringLiteral("Order"),
                         Kind::push(QStringLiteral("Order"), QStringLiteral("{}"))};
    const Preset link{QUuid::createUuid(), QStringLiteral("Order"),
                      Kind::deepLink(QStringLiteral("myapp://o"))};
    const Preset other{QUuid::createUuid(), QStringLiteral("Other"),
                       Kind::deepLink(QStringLiteral("myapp://p"))};
    const Preset newPush{QUuid::createUuid(), QStringLiteral("Order"),
                         Kind::push(QStringLiteral("Order"), QStringLiteral(R"({"aps":{}})"))};
    for (const Preset& preset : {oldPush, link, other, newPush})
        actions.savePreset(preset, demo);
    // The newer push replaces the older one and goes to the end; the deep link of that name stays.
    EXPECT_EQ(actions.presets().at(demo), (std::vector<Preset>{link, other, newPush}));

    actions.deletePreset(link.id, demo);
    actions.deletePreset(other.id, demo);
    actions.deletePreset(newPush.id, demo);
    ASSERT_EQ(actions.presets().count(demo), 1u);
    EXPECT_TRUE(actions.presets().at(demo).empty());
    EXPECT_EQ(stored("actionPresets"), QByteArray(R"({"com.example.demo":[]})"));
}

TEST_F(SimulatorActionsTest, DeletingForAnAppWithoutPresetsStillWritesBothStores) {
    SimulatorActions actions;
    QSignalSpy changes(&actions, &SimulatorActions::presetsChanged);
    actions.deletePreset(QUuid::createUuid(), QStringLiteral("com.example.none"));
    EXPECT_EQ(stored("actionPresets"), QByteArray("{}"));
    EXPECT_EQ(stored("actionHistory"), QByteArray("[]"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_TRUE(actions.presets().empty());
}
