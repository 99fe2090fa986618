#include "actions/Permissions.h"

#include "ActionsTestSupport.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"
#include "support/Settle.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QSignalSpy>

#include <future>
#include <map>

using namespace quorvex;
using Choices = Permissions::Choices;

namespace {

constexpr int kWait = 15'000;

QByteArray storedActions() {
    return sharedDefaults().value(QStringLiteral("permissionActions")).toByteArray();
}

class PermissionsTest : public ::testing::Test {
protected:
    void SetUp() override { test::clearStores(); }
    void TearDown() override { test::clearStores(); }

    // Applies and waits until that apply has ended.
    static void applyAndWait(Permissions& permissions, PermissionAction action,
                             std::optional<PermissionService> service, const SimulatorApp& app) {
        QSignalSpy finished(&permissions, &Permissions::applyFinished);
        permissions.apply(action, service, app);
        ASSERT_TRUE(finished.wait(kWait));
    }

    test::FakeDialogs dialogs;
};

// Two simulators with the real privacy database of the fixture, the fake simctl answering
// privacy, terminate and the daemon restart.
class PermissionsOnSimulatorsTest : public PermissionsTest {
protected:
    void SetUp() override {
        PermissionsTest::SetUp();
        home.addSimulator("UDID-A", "iPhone 15");
        home.addSimulator("UDID-B", "iPad Air");
        databaseA = home.addPrivacyDatabase("UDID-A");
        fake.on({"simctl", "terminate", "**"})
            .on({"simctl", "spawn", "*", "launchctl", "kickstart", "-k", "user/foreground/com.apple.tccd"});
    }

    static std::string cameraRows(const std::filesystem::path& database) {
        return test::FixtureHome::sqlite(database,
                                         "SELECT service, client, client_type, auth_value, auth_reason, "
                                         "auth_version, flags FROM access ORDER BY client;");
    }

    test::FixtureHome home;
    test::FakeXcrun fake;
    std::filesystem::path databaseA;
};

} // namespace

TEST(PermissionServiceTest, ThirteenServicesInMenuOrder) {
    struct Row {
        const char* raw;
        const char* title;
        const char* symbol;
    };
    const Row rows[] = {
        {"calendar", "Calendar", "calendar"},
        {"camera", "Camera", "camera"},
        {"contacts-limited", "Contacts (Limited)", "person.crop.circle"},
        {"contacts", "Contacts", "person.crop.circle"},
        {"location", "Location (While Using)", "location"},
        {"location-always", "Location (Always)", "location"},
        {"photos-add", "Photos (Add Only)", "photo.on.rectangle"},
        {"photos", "Photos", "photo.on.rectangle"},
        {"media-library", "Media Library", "music.note"},
        {"microphone", "Microphone", "mic"},
        {"motion", "Motion & Fitness", "figure.walk"},
        {"reminders", "Reminders", "checklist"},
        {"siri", "Siri", "waveform"},
    };
    const auto& services = allPermissionServices();
    ASSERT_EQ(services.size(), std::size(rows));
    for (size_t i = 0; i < services.size(); ++i) {
        SCOPED_TRACE(rows[i].raw);
        EXPECT_EQ(rawValue(services[i]), QLatin1String(rows[i].raw));
        EXPECT_EQ(title(services[i]), QLatin1String(rows[i].title));
        EXPECT_EQ(symbol(services[i]), QLatin1String(rows[i].symbol));
        EXPECT_TRUE(Symbols::contains(symbol(services[i])));
        EXPECT_EQ(permissionServiceFromRawValue(rawValue(services[i])), services[i]);
    }
    EXPECT_EQ(permissionServiceFromRawValue(u"all"), std::nullopt);
    EXPECT_EQ(title(PermissionAction::revoke), QStringLiteral("Revoke"));
    EXPECT_EQ(permissionActionFromRawValue(u"reset"), PermissionAction::reset);
}

TEST_F(PermissionsTest, StoreIsAFlatAlternatingArrayPerAppAndReadsWholeOrNotAtAll) {
    const std::map<QString, Choices> actions = {
        {QStringLiteral("com.example.demo"),
         {{PermissionService::camera, PermissionAction::grant},
          {PermissionService::contactsLimited, PermissionAction::reset}}},
        {QStringLiteral("com.example.none"), {}},
    };
    EXPECT_EQ(
        Permissions::encodeLastActions(actions),
        QByteArray(
            R"({"com.example.demo":["camera","grant","contacts-limited","reset"],"com.example.none":[]})"));
    sharedDefaults().setValue(QStringLiteral("permissionActions"), Permissions::encodeLastActions(actions));
    EXPECT_EQ(Permissions().lastActions(), actions);

    for (const char* damaged : {R"({"a":["camera","grant"],"b":["camera"]})", R"({"a":["camera","allow"]})",
                                R"({"a":["all","grant"]})", R"({"a":{"camera":"grant"}})",
                                R"(["camera","grant"])", R"({"a":["camera",2]})", "not json"}) {
        SCOPED_TRACE(damaged);
        sharedDefaults().setValue(QStringLiteral("permissionActions"), QByteArray(damaged));
        EXPECT_TRUE(Permissions().lastActions().empty());
    }
}

TEST_F(PermissionsTest, AppOnNoBootedSimulatorChangesNothing) {
    int calls = 0;
    Permissions permissions([&](auto...) { return ++calls > 0; });
    QSignalSpy working(&permissions, &Permissions::isWorkingChanged);
    QSignalSpy changed(&permissions, &Permissions::lastActionsChanged);
    permissions.apply(PermissionAction::grant, std::nullopt, test::demoApp({}));
    EXPECT_FALSE(permissions.isWorking());
    EXPECT_EQ(working.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(permissions.lastActions().empty());
    EXPECT_FALSE(sharedDefaults().contains(QStringLiteral("permissionActions")));
    EXPECT_EQ(calls, 0);
}

TEST_F(PermissionsOnSimulatorsTest, CameraChoiceGoesIntoThePrivacyDatabaseWithTheIdQuoted) {
    const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}}, QStringLiteral("com.o'brien.app"));
    Permissions permissions;
    struct Step {
        PermissionAction action;
        std::string rows;
    };
    const Step steps[] = {
        {PermissionAction::grant, "kTCCServiceCamera|com.o'brien.app|0|2|4|1|0\n"},
        {PermissionAction::revoke, "kTCCServiceCamera|com.o'brien.app|0|0|4|1|0\n"},
        {PermissionAction::reset, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(rawValue(step.action).toStdString());
        fake.clearLog();
        applyAndWait(permissions, step.action, PermissionService::camera, app);
        EXPECT_EQ(cameraRows(databaseA), step.rows);
        EXPECT_EQ(fake.argumentLists(), (std::vector<std::vector<std::string>>{
                                            {"simctl", "terminate", "UDID-A", "com.o'brien.app"},
                                            {"simctl", "spawn", "UDID-A", "launchctl", "kickstart", "-k",
                                             "user/foreground/com.apple.tccd"}}));
        EXPECT_EQ(permissions.lastAction(PermissionService::camera, app), step.action);
    }
    EXPECT_TRUE(dialogs.alerts().empty());
}

TEST_F(PermissionsOnSimulatorsTest, OtherServicesGoThroughSimctlPrivacy) {
    fake.on({"simctl", "privacy", "**"});
    const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}, {"UDID-B", "iPad Air"}});
    Permissions permissions;
    applyAndWait(permissions, PermissionAction::reset, PermissionService::locationAlways, app);
    EXPECT_EQ(fake.argumentLists(),
              (std::vector<std::vector<std::string>>{
                  {"simctl", "privacy", "UDID-A", "reset", "location-always", "com.example.demo"},
                  {"simctl", "privacy", "UDID-B", "reset", "location-always", "com.example.demo"}}));
    EXPECT_EQ(cameraRows(databaseA), "");
    EXPECT_EQ(permissions.lastAction(PermissionService::locationAlways, app), PermissionAction::reset);
    EXPECT_TRUE(dialogs.alerts().empty());
}

TEST_F(PermissionsOnSimulatorsTest, FailureOnOneOfTwoSimulatorsIsReportedAndKeepsTheChoice) {
    // UDID-B has no privacy database.
    const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}, {"UDID-B", "iPad Air"}});
    Permissions permissions;
    applyAndWait(permissions, PermissionAction::grant, PermissionService::camera, app);

    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, QStringLiteral("Couldn\u2019t grant Camera for Demo"));
    EXPECT_EQ(dialogs.alerts()[0].informativeText,
              QStringLiteral("Changing the permission failed on 1 simulator(s)."));
    EXPECT_TRUE(dialogs.alerts()[0].buttons.isEmpty());
    EXPECT_EQ(permissions.lastAction(PermissionService::camera, app), PermissionAction::grant);
    EXPECT_EQ(storedActions(), QByteArray(R"({"com.example.demo":["camera","grant"]})"));
    EXPECT_EQ(cameraRows(databaseA), "kTCCServiceCamera|com.example.demo|0|2|4|1|0\n");
    EXPECT_FALSE(permissions.isWorking());
}

TEST_F(PermissionsOnSimulatorsTest, RevokeAllWhereSimctlFailsSkipsTheCameraAndRollsBack) {
    fake.on({"simctl", "privacy", "UDID-A", "grant", "photos", "*"});
    fake.on({"simctl", "privacy", "**"}, "", 1);
    const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}});
    Permissions permissions;
    applyAndWait(permissions, PermissionAction::grant, PermissionService::photos, app);
    const auto before = permissions.lastActions();
    fake.clearLog();

    applyAndWait(permissions, PermissionAction::revoke, std::nullopt, app);

    EXPECT_EQ(fake.argumentLists(),
              (std::vector<std::vector<std::string>>{
                  {"simctl", "privacy", "UDID-A", "revoke", "all", "com.example.demo"}}));
    EXPECT_EQ(cameraRows(databaseA), "");
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, QStringLiteral("Couldn\u2019t revoke all permissions for Demo"));
    EXPECT_EQ(dialogs.alerts()[0].informativeText,
              QStringLiteral("Changing the permission failed on 1 simulator(s)."));
    EXPECT_EQ(permissions.lastActions(), before);
    EXPECT_EQ(storedActions(), QByteArray(R"({"com.example.demo":["photos","grant"]})"));
}

TEST_F(PermissionsOnSimulatorsTest, GrantAllRecordsEveryServiceAndTheCamera) {
    fake.on({"simctl", "privacy", "**"});
    const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}});
    Permissions permissions;
    applyAndWait(permissions, PermissionAction::grant, std::nullopt, app);

    EXPECT_EQ(fake.argumentLists().front(),
              (std::vector<std::string>{"simctl", "privacy", "UDID-A", "grant", "all", "com.example.demo"}));
    EXPECT_EQ(cameraRows(databaseA), "kTCCServiceCamera|com.example.demo|0|2|4|1|0\n");
    const Choices& choices = permissions.lastActions().at(QStringLiteral("com.example.demo"));
    ASSERT_EQ(choices.size(), 13u);
    for (const auto& [service, action] : choices)
        EXPECT_EQ(action, PermissionAction::grant) << rawValue(service).toStdString();
    const auto stored = nlohmann::json::parse(storedActions().toStdString());
    ASSERT_EQ(stored.at("com.example.demo").size(), 26u);
    for (size_t i = 1; i < 26; i += 2)
        EXPECT_EQ(stored["com.example.demo"][i], "grant");
    EXPECT_TRUE(dialogs.alerts().empty());
}

// Two applies on one app overlap, each held at its simulator command until the test lets it end
// with the outcome it chose.
TEST_F(PermissionsTest, OverlappingAppliesKeepTheNewestChoiceThatDidNotFail) {
    struct Apply {
        PermissionAction action;
        std::optional<PermissionService> service;
        bool succeeds;
    };
    struct Case {
        const char* what;
        Apply first;
        Apply second;
        bool firstEndsFirst;
        Choices expected;
    };
    const auto camera = PermissionService::camera;
    const auto photos = PermissionService::photos;
    const Case cases[] = {
        {"first fails, ends first",
         {PermissionAction::grant, camera, false},
         {PermissionAction::revoke, camera, true},
         true,
         {{camera, PermissionAction::revoke}, {photos, PermissionAction::reset}}},
        {"first fails, ends last",
         {PermissionAction::grant, camera, false},
         {PermissionAction::revoke, camera, true},
         false,
         {{camera, PermissionAction::revoke}, {photos, PermissionAction::reset}}},
        {"second fails, ends first",
         {PermissionAction::grant, camera, true},
         {PermissionAction::revoke, camera, false},
         false,
         {{camera, PermissionAction::grant}, {photos, PermissionAction::reset}}},
        {"second fails, ends last",
         {PermissionAction::grant, camera, true},
         {PermissionAction::revoke, camera, false},
         true,
         {{camera, PermissionAction::grant}, {photos, PermissionAction::reset}}},
        {"both fail",
         {PermissionAction::grant, camera, false},
         {PermissionAction::revoke, camera, false},
         true,
         {{photos, PermissionAction::reset}}},
        {"first fails on another service, ends last",
         {PermissionAction::grant, camera, false},
         {PermissionAction::grant, photos, true},
         false,
         {{photos, PermissionAction::grant}}},
        {"all fails under a later single service",
         {PermissionAction::revoke, std::nullopt, false},
         {PermissionAction::grant, camera, true},
         false,
         {{camera, PermissionAction::grant}, {photos, PermissionAction::reset}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::clearStores();
        const SimulatorApp app = test::demoApp({{"UDID-A", "iPhone 15"}});
        {
            // What was there before both: photos reset, set by an apply that went through.
            Permissions seed([](auto...) { return true; });
            applyAndWait(seed, PermissionAction::reset, photos, app);
        }
        // Each apply is held until the test releases it; told apart by action and service.
        using Key = std::pair<PermissionAction, std::optional<PermissionService>>;
        std::map<Key, std::promise<bool>> gates;
        std::map<Key, std::shared_future<bool>> outcomes;
        for (const Apply& apply : {c.first, c.second})
            outcomes[{apply.action, apply.service}] =
                gates[{apply.action, apply.service}].get_future().share();
        Permissions permissions(
            [&outcomes](PermissionAction action, std::optional<PermissionService> service, auto...) {
                return outcomes.at({action, service}).get();
            });
        const auto releaseAll = qScopeGuard([&gates] {
            for (auto& [key, gate] : gates)
                test::settle(gate, false);
        });
        permissions.apply(c.first.action, c.first.service, app);
        permissions.apply(c.second.action, c.second.service, app);
        EXPECT_TRUE(permissions.isWorking());

        const Apply& endsFirst = c.firstEndsFirst ? c.first : c.second;
        const Apply& endsLast = c.firstEndsFirst ? c.second : c.first;
        QSignalSpy finished(&permissions, &Permissions::applyFinished);
        gates[{endsFirst.action, endsFirst.service}].set_value(endsFirst.succeeds);
        ASSERT_TRUE(finished.wait(kWait));
        EXPECT_TRUE(permissions.isWorking()) << "the other apply still runs";
        gates[{endsLast.action, endsLast.service}].set_value(endsLast.succeeds);
        ASSERT_TRUE(finished.wait(kWait));
        EXPECT_FALSE(permissions.isWorking());

        EXPECT_EQ(permissions.lastActions().at(app.id), c.expected);
        EXPECT_EQ(Permissions::decodeLastActions(storedActions()).at(app.id), c.expected);
    }
}
