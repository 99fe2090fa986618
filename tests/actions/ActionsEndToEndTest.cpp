// Push, deep link, repeat and a permission change driven through the process-wide models, against
// the fake xcrun, the fixture HOME and the real sqlite3 on each simulator's privacy database.
#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"

#include "ActionsTestSupport.h"
#include "platform/data/PlistSettingsFormat.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <fstream>
#include <sstream>

using namespace quorvex;
using Kind = SimulatorActions::Kind;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

SimulatorInstall installOf(const test::InstalledApp& installed, const QString& udid,
                           const QString& deviceName) {
    SimulatorInstall install;
    install.udid = udid;
    install.deviceName = deviceName;
    install.bundle = installed.bundle;
    install.dataContainer = installed.dataContainer;
    return install;
}

} // namespace

TEST(ActionsEndToEndTest, PushDeepLinkRepeatAndCameraGrantReachTheSimulators) {
    test::clearStores();
    test::FixtureHome home;
    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
    test::ScopedTemporaryFolder temporary;
    test::ToastLog toasts;

    test::FixtureApp fixtureApp;
    fixtureApp.bundleID = "com.example.demo";
    fixtureApp.displayName = "Demo";
    fixtureApp.bundleName = "Demo";
    home.addSimulator("UDID-A", "iPhone 15");
    home.addSimulator("UDID-B", "iPad Air");
    const auto onA = home.installApp("UDID-A", fixtureApp);
    const auto onB = home.installApp("UDID-B", fixtureApp);
    const auto databaseA = home.addPrivacyDatabase("UDID-A");
    const auto databaseB = home.addPrivacyDatabase("UDID-B");
    home.answer(fake);
    const std::filesystem::path delivered = fake.folder() / "delivered.apns";
    fake.rule(
        {{"args", {"simctl", "push", "*", "com.example.demo", "*"}},
         {"effects", nlohmann::json::array({{{"copy", nlohmann::json::array({4, delivered.string()})}}})}});
    fake.on({"simctl", "openurl", "*", "demo://orders/12345"})
        .on({"simctl", "terminate", "*", "com.example.demo"})
        .on({"simctl", "spawn", "*", "launchctl", "kickstart", "-k", "user/foreground/com.apple.tccd"});

    SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}, {"UDID-B", "iPad Air"}});
    app.installs = {installOf(onA, QStringLiteral("UDID-A"), QStringLiteral("iPhone 15")),
                    installOf(onB, QStringLiteral("UDID-B"), QStringLiteral("iPad Air"))};

    SimulatorActions& actions = SimulatorActions::shared();
    const auto& alertTemplate = SimulatorActions::pushTemplates().front();
    EXPECT_EQ(actions.perform(Kind::push(alertTemplate.name, alertTemplate.payload), app, app.installs[0]),
              std::nullopt);
    EXPECT_EQ(readFile(delivered), alertTemplate.payload.toStdString());
    EXPECT_EQ(actions.perform(Kind::deepLink(QStringLiteral("demo://orders/12345")), app, app.installs[1]),
              std::nullopt);
    actions.repeatLast();

    QSignalSpy finished(&Permissions::shared(), &Permissions::applyFinished);
    Permissions::shared().apply(PermissionAction::grant, PermissionService::camera, app);
    EXPECT_TRUE(Permissions::shared().isWorking());
    ASSERT_TRUE(finished.wait(15'000));

    const std::vector<std::vector<std::string>> expectedCalls = {
        {"simctl", "push", "UDID-A", "com.example.demo", fake.argumentLists()[0][4]},
        {"simctl", "openurl", "UDID-B", "demo://orders/12345"},
        {"simctl", "openurl", "UDID-B", "demo://orders/12345"},
        {"simctl", "terminate", "UDID-A", "com.example.demo"},
        {"simctl", "spawn", "UDID-A", "launchctl", "kickstart", "-k", "user/foreground/com.apple.tccd"},
        {"simctl", "terminate", "UDID-B", "com.example.demo"},
        {"simctl", "spawn", "UDID-B", "launchctl", "kickstart", "-k", "user/foreground/com.apple.tccd"},
    };
    EXPECT_EQ(fake.argumentLists(), expectedCalls);
    EXPECT_TRUE(temporary.entries().empty());
    for (const auto& database : {databaseA, databaseB})
        EXPECT_EQ(test::FixtureHome::sqlite(database, "SELECT client, auth_value FROM access "
                                                      "WHERE service = 'kTCCServiceCamera';"),
                  "com.example.demo|2\n");
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_FALSE(Permissions::shared().isWorking());

    ASSERT_EQ(toasts.messages().size(), 3u);
    EXPECT_EQ(toasts.messages()[0].title, QStringLiteral("Send Push \u201CAlert\u201D"));
    EXPECT_EQ(toasts.messages()[1].detail, QStringLiteral("Demo on iPad Air"));
    EXPECT_EQ(toasts.messages()[2].detail, QStringLiteral("Repeated for Demo on iPad Air"));

    // What a restart reads back: the defaults file holds the stores as data.
    sharedDefaults().sync();
    QSettings onDisk(sharedDefaults().fileName(), plistSettingsFormat());
    for (const char* key : {"actionHistory", "actionPresets", "permissionActions"})
        EXPECT_EQ(onDisk.value(QLatin1String(key)).typeId(), QMetaType::QByteArray) << key;
    const auto history =
        SimulatorActions::decodeHistory(onDisk.value(QStringLiteral("actionHistory")).toByteArray());
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history, actions.history());
    EXPECT_EQ(history[0].kind, Kind::deepLink(QStringLiteral("demo://orders/12345")));
    EXPECT_EQ(history[1].udid, QStringLiteral("UDID-A"));
    EXPECT_EQ(Permissions::decodeLastActions(onDisk.value(QStringLiteral("permissionActions")).toByteArray()),
              Permissions::shared().lastActions());
}
