#include "simulator/SimulatorApps.h"

#include "platform/data/PlistSettingsFormat.h"
#include "support/DemoWorld.h"
#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"
#include "support/QtPrinters.h"
#include "support/Settle.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QVariantMap>

#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <future>

using namespace quorvex;
using test::FakeXcrun;
using test::FixtureApp;
using test::FixtureHome;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kListDevices = {"simctl", "list", "devices", "booted", "-j"};

void waitFor(const QFuture<void>& future) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 30'000));
}

QStringList names(const std::vector<SimulatorApp>& apps) {
    QStringList result;
    for (const SimulatorApp& app : apps)
        result.append(app.name);
    return result;
}

QStringList names(const std::vector<SimulatorDevice>& devices) {
    QStringList result;
    for (const SimulatorDevice& device : devices)
        result.append(device.name);
    return result;
}

std::string devicesJson(const std::vector<std::pair<std::string, std::string>>& udidAndName) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [udid, name] : udidAndName)
        list.push_back({{"udid", udid}, {"name", name}, {"state", "Booted"}});
    return nlohmann::json{{"devices", {{"com.apple.CoreSimulator.SimRuntime.iOS-17-0", list}}}}.dump();
}

fs::path path(const SimulatorApp& app) {
    return app.iconPath.value_or(fs::path());
}

QImage fallbackIcon() {
    return Symbols::pixmap(QStringLiteral("app.dashed"), QSize(16, 16), Palette::gray(), 2.0).toImage();
}

// Writes a PNG of one colour.
void writeImage(const fs::path& file, QColor color, int size = 60) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
}

void writeInfoPlist(const fs::path& bundle, const QVariant& iconFiles) {
    const QVariantMap info{{"CFBundleIcons", QVariantMap{{"CFBundlePrimaryIcon",
                                                          QVariantMap{{"CFBundleIconFiles", iconFiles}}}}}};
    std::ofstream(bundle / "Info.plist") << variantToPlistXml(info).toStdString();
}

} // namespace

TEST(SimulatorAppsTest, AppOnTwoSimulatorsIsListedOnceWithTheFirstSimulatorByNameFirst) {
    FixtureHome world;
    world.addSimulator("A-PHONE", "iPhone 15");
    world.addSimulator("B-PAD", "iPad Air");
    FixtureApp app{
        "com.example.orders", "Orders on iPhone", "Orders", "2.1", "45", "User", {"PhoneIcon"}, {}};
    const test::InstalledApp onPhone = world.installApp("A-PHONE", app);
    app.displayName = "Orders on iPad";
    app.iconFiles = {"PadIcon"};
    app.groups = {"group.com.example.orders"};
    const test::InstalledApp onPad = world.installApp("B-PAD", app);
    FakeXcrun fake;
    world.answer(fake);

    const SimulatorApps::ScanResult result = SimulatorApps::scan();

    ASSERT_EQ(names(result.devices), (QStringList{"iPad Air", "iPhone 15"}));
    EXPECT_EQ(result.devices[0].udid, "B-PAD");
    ASSERT_TRUE(result.devices[0].bootedAt);
    EXPECT_LT(std::abs(result.devices[0].bootedAt->secsTo(QDateTime::currentDateTimeUtc()) - 60), 5);
    ASSERT_EQ(result.apps.size(), 1u);
    const SimulatorApp& orders = result.apps[0];
    EXPECT_EQ(orders.id, "com.example.orders");
    EXPECT_EQ(orders.name, "Orders on iPad");
    EXPECT_EQ(orders.bundleFolder, "Orders.app");
    EXPECT_EQ(orders.devices, (QStringList{"B-PAD", "A-PHONE"}));
    EXPECT_EQ(path(orders), onPad.bundle / "PadIcon@2x.png");
    EXPECT_EQ(orders.version, "2.1 (45)");
    ASSERT_EQ(orders.installs.size(), 2u);
    const SimulatorInstall expectedPad{
        "B-PAD",
        "iPad Air",
        onPad.bundle,
        onPad.dataContainer,
        {{"group.com.example.orders", onPad.groupContainers.at("group.com.example.orders")}}};
    const SimulatorInstall expectedPhone{"A-PHONE", "iPhone 15", onPhone.bundle, onPhone.dataContainer, {}};
    EXPECT_EQ(orders.installs[0], expectedPad);
    EXPECT_EQ(orders.installs[1], expectedPhone);
    EXPECT_EQ(orders.install("A-PHONE"), &orders.installs[1]);
}

TEST(SimulatorAppsTest, DevicesSortByCodePointsAndAppsIgnoreCase) {
    FixtureHome world;
    // U+FF5E sorts before U+1F600 by code point, though not by UTF-16 unit.
    for (const auto& [udid, name] : std::vector<std::pair<std::string, std::string>>{
             {"1", "iphone"}, {"2", "\xF0\x9F\x98\x80"}, {"3", "iPhone"}, {"4", "\xEF\xBD\x9E"}})
        world.addSimulator(udid, name);
    for (const char* name : {"beta", "Alpha", "alpha 2", "Zulu"})
        world.installApp(
            "1",
            FixtureApp{
                std::string("com.example.") + name[0] + name[1] + name[2], name, "", "", "", "User", {}, {}});
    FakeXcrun fake;
    world.answer(fake);

    const SimulatorApps::ScanResult result = SimulatorApps::scan();

    EXPECT_EQ(names(result.devices), (QStringList{"iPhone", "iphone", "\uFF5E", QStringLiteral("😀")}));
    EXPECT_EQ(names(result.apps), (QStringList{"Alpha", "alpha 2", "beta", "Zulu"}));
}

TEST(SimulatorAppsTest, ListingIsFilteredAndRead) {
    FakeXcrun fake;
    fake.on(kListDevices, devicesJson({{"U1", "iPhone"}}));
    fake.on({"simctl", "listapps", "U1"}, R"({
    "com.apple.mobilesafari" = { ApplicationType = System; Path = "/Sim/Safari.app"; };
    "com.example.hidden" = { ApplicationType = Hidden; Path = "/Sim/Hidden.app"; };
    "com.example.lower" = { ApplicationType = user; Path = "/Sim/Lower.app"; };
    "com.example.nopath" = { ApplicationType = User; Bundle = "file:///Sim/NoPath.app/"; };
    "com.example.datapath" = { ApplicationType = User; Path = <2f53696d>; };
    "com.example.relative" = { ApplicationType = User; Path = "Relative.app"; };
    "com.example.empty" = { ApplicationType = User; Path = ""; };
    "com.example.full" = {
        ApplicationType = User; Path = "/Sim/Full.app"; CFBundleDisplayName = "Caf\U00e9 Lab";
        CFBundleName = Ignored; CFBundleShortVersionString = "2.1"; CFBundleVersion = 45;
        DataContainer = "file:///Sim/My%20Data/Container/";
        GroupContainers = {
            "group.a" = "file:///Sim/Group%20A/";
            "group.web" = "https://example.com/group/";
            "group.bad" = "file:///Sim/bad path/";
        };
    };
    "com.example.short" = { ApplicationType = User; Path = "/Sim/Trailing.app/"; CFBundleName = Short;
        CFBundleShortVersionString = "2.1"; DataContainer = { not = url; }; GroupContainers = ( a ); };
    "com.example.build" = { ApplicationType = User; Path = "/Sim/Build.app"; CFBundleVersion = 45; };
    "com.example.bare" = { ApplicationType = User; Path = "/Sim/Bare.app"; };
    "com.example.mixed" = { ApplicationType = User; Path = "/Sim/Mixed.app";
        GroupContainers = { "group.ok" = "file:///Sim/ok/"; "group.list" = ( x ); }; };
})");

    const SimulatorApps::ScanResult result = SimulatorApps::scan();

    struct Expected {
        QString id;
        QString name;
        QString bundleFolder;
        std::optional<QString> version;
    };
    const Expected expected[] = {
        {"com.example.full", QStringLiteral("Café Lab"), "Full.app", QStringLiteral("2.1 (45)")},
        {"com.example.bare", "com.example.bare", "Bare.app", std::nullopt},
        {"com.example.build", "com.example.build", "Build.app", QStringLiteral("(45)")},
        {"com.example.mixed", "com.example.mixed", "Mixed.app", std::nullopt},
        {"com.example.short", "Short", "Trailing.app", QStringLiteral("2.1")},
    };
    ASSERT_EQ(result.apps.size(), std::size(expected)) << names(result.apps).join(", ").toStdString();
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].id.toStdString());
        EXPECT_EQ(result.apps[i].id, expected[i].id);
        EXPECT_EQ(result.apps[i].name, expected[i].name);
        EXPECT_EQ(result.apps[i].bundleFolder, expected[i].bundleFolder);
        EXPECT_EQ(result.apps[i].version, expected[i].version);
        EXPECT_FALSE(result.apps[i].iconPath);
    }
    const SimulatorInstall& full = result.apps[0].installs.at(0);
    EXPECT_EQ(full.bundle, "/Sim/Full.app");
    EXPECT_EQ(full.dataContainer, fs::path("/Sim/My Data/Container"));
    EXPECT_EQ(full.groupContainers, (std::map<QString, fs::path>{{"group.a", "/Sim/Group A"}}));
    const SimulatorInstall& trailing = result.apps[4].installs.at(0);
    EXPECT_EQ(trailing.bundle, "/Sim/Trailing.app");
    EXPECT_FALSE(trailing.dataContainer);
    EXPECT_TRUE(trailing.groupContainers.empty());
    // One group that is not a string makes the whole dictionary count as empty.
    EXPECT_TRUE(result.apps[3].installs.at(0).groupContainers.empty());
}

TEST(SimulatorAppsTest, FailingOrMisshapenAnswersGiveEmptyListsOrASimulatorWithoutApps) {
    const std::string oneApp = R"({ "com.example.a" = { ApplicationType = User; Path = "/Sim/A.app"; }; })";
    struct Case {
        const char* what;
        std::string list; // empty: simctl list fails
        std::string listapps;
        int listappsExit;
        QStringList devices;
        size_t apps;
    };
    const std::string good = devicesJson({{"U1", "iPhone"}});
    const Case cases[] = {
        {"list fails", "", oneApp, 0, {}, 0},
        {"list is no JSON", "Booted: U1", oneApp, 0, {}, 0},
        {"top level is an array", "[]", oneApp, 0, {}, 0},
        {"devices is an array", R"({"devices": []})", oneApp, 0, {}, 0},
        {"a runtime holds a string",
         R"({"devices": {"r1": [{"udid": "U1"}], "r2": ["U2"]}})",
         oneApp,
         0,
         {},
         0},
        {"an entry without a udid is skipped",
         R"({"devices": {"r": [{"name": "x"}, {"udid": "U1"}]}})",
         oneApp,
         0,
         {"U1"},
         1},
        {"a UDID listed twice keeps the later name",
         R"({"devices": {"r1": [{"udid": "U1", "name": "Old"}], "r2": [{"udid": "U1", "name": "New"}]}})",
         oneApp,
         0,
         {"New"},
         1},
        {"listapps fails", good, oneApp, 1, {"iPhone"}, 0},
        {"listapps is garbage", good, "{ unterminated", 0, {"iPhone"}, 0},
        {"listapps is an array", good, "( a, b )", 0, {"iPhone"}, 0},
        {"listapps holds a string value",
         good,
         R"({ "com.example.a" = { ApplicationType = User; Path = "/Sim/A.app"; }; "com.example.b" = b; })",
         0,
         {"iPhone"},
         0},
        {"listapps as XML",
         good,
         variantToPlistXml(
             QVariantMap{{"com.example.a", QVariantMap{{"ApplicationType", "User"}, {"Path", "/A.app"}}}})
             .toStdString(),
         0,
         {"iPhone"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeXcrun fake;
        if (!c.list.empty())
            fake.on(kListDevices, c.list);
        fake.on({"simctl", "listapps", "*"}, c.listapps, c.listappsExit);
        const SimulatorApps::ScanResult result = SimulatorApps::scan();
        EXPECT_EQ(names(result.devices), c.devices);
        EXPECT_EQ(result.apps.size(), c.apps);
    }
}

TEST(SimulatorAppsTest, IconLookupPrefersTheLastListedFileAtTheHighestScale) {
    struct Case {
        const char* what;
        QVariant iconFiles;                             // invalid: no Info.plist
        std::vector<std::pair<std::string, int>> files; // name, size in pixels
        std::optional<std::string> expected;
    };
    const QVariantList twoNames{QStringLiteral("First"), QStringLiteral("Second")};
    const Case cases[] = {
        {"two entries, each with @2x",
         twoNames,
         {{"First@2x.png", 60}, {"Second@2x.png", 60}},
         "Second@2x.png"},
        {"@3x before @2x before plain",
         twoNames,
         {{"Second.png", 60}, {"Second@2x.png", 60}, {"Second@3x.png", 60}},
         "Second@3x.png"},
        {"plain file of the last entry", twoNames, {{"First@3x.png", 60}, {"Second.png", 60}}, "Second.png"},
        {"listed files missing: largest AppIcon png",
         twoNames,
         {{"AppIcon20x20@2x.png", 40},
          {"AppIcon60x60@3x.png", 180},
          {"AppIcon.jpg", 512},
          {"Icon-big.png", 512}},
         "AppIcon60x60@3x.png"},
        {"no Info.plist", QVariant(), {{"AppIcon60x60@2x.png", 120}}, "AppIcon60x60@2x.png"},
        {"a name that is not a string",
         QVariantList{QStringLiteral("Second"), 3},
         {{"Second@2x.png", 60}, {"AppIconX.png", 10}},
         "AppIconX.png"},
        {"nothing usable", twoNames, {{"Other.png", 60}}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bundle = FixtureHome::home() / "Lookup" / c.what / "App.app";
        fs::create_directories(bundle);
        if (c.iconFiles.isValid())
            writeInfoPlist(bundle, c.iconFiles);
        for (const auto& [name, size] : c.files)
            writeImage(bundle / name, Qt::red, size);
        const auto found = SimulatorApps::iconPath(bundle);
        EXPECT_EQ(found, c.expected ? std::optional<fs::path>(bundle / *c.expected) : std::nullopt);
    }
    EXPECT_EQ(SimulatorApps::iconPath("/nonexistent/App.app"), std::nullopt);
}

TEST(SimulatorAppsTest, IconIsRoundedSixteenPointsAndCachedByIdAndPath) {
    test::FakeClock clock;
    SimulatorApps apps(clock);
    const fs::path folder = FixtureHome::home() / "icons";
    fs::create_directories(folder);
    writeImage(folder / "blue.png", Qt::blue);
    writeImage(folder / "green.png", Qt::green);
    SimulatorApp app{"com.example.a", "A", "A.app", {}, folder / "blue.png", {}, std::nullopt};

    const QPixmap first = apps.icon(app);
    EXPECT_EQ(first.deviceIndependentSize(), QSizeF(16, 16));
    const QImage image = first.toImage();
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // the corner is cut away
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::blue));

    fs::remove(folder / "blue.png");
    EXPECT_EQ(apps.icon(app).cacheKey(), first.cacheKey()); // cached, file or no file

    app.iconPath = folder / "green.png"; // reinstalled elsewhere: a new key
    const QImage green = apps.icon(app).toImage();
    EXPECT_EQ(green.pixelColor(green.width() / 2, green.height() / 2), QColor(Qt::green));

    for (const std::optional<fs::path>& missing :
         {std::optional<fs::path>(), std::optional(folder / "none.png")}) {
        app.iconPath = missing;
        EXPECT_EQ(apps.icon(app).toImage(), fallbackIcon());
    }
}

TEST(SimulatorAppsTest, RefreshSignalsOnlyTheListsThatChanged) {
    FixtureHome world;
    world.addSimulator("U1", "iPhone 15");
    world.installApp("U1", FixtureApp{"com.example.a", "A", "", "1.0", "", "User", {}, {}});
    FakeXcrun fake;
    world.answer(fake);
    test::FakeClock clock;
    SimulatorApps apps(clock);
    QSignalSpy appsSpy(&apps, &SimulatorApps::appsChanged);
    QSignalSpy devicesSpy(&apps, &SimulatorApps::devicesChanged);

    waitFor(apps.refresh());
    EXPECT_EQ(appsSpy.count(), 1);
    EXPECT_EQ(devicesSpy.count(), 1);
    EXPECT_EQ(names(apps.apps()), QStringList{"A"});

    waitFor(apps.refresh()); // nothing new
    EXPECT_EQ(appsSpy.count(), 1);
    EXPECT_EQ(devicesSpy.count(), 1);

    world.installApp("U1", FixtureApp{"com.example.b", "B", "", "", "", "User", {}, {}});
    world.answer(fake); // rewrites the answer files the first rules read
    waitFor(apps.refresh());
    EXPECT_EQ(appsSpy.count(), 2);
    EXPECT_EQ(devicesSpy.count(), 1);
    EXPECT_EQ(names(apps.apps()), (QStringList{"A", "B"}));
}

TEST(SimulatorAppsTest, StaleScanNeverReplacesTheResultOfALaterStartedOne) {
    const SimulatorApps::ScanResult before{{}, {{"U1", "iPhone", std::nullopt}}};
    SimulatorApps::ScanResult after = before;
    after.apps.push_back({"com.example.new", "New", "New.app", {"U1"}, std::nullopt, {}, std::nullopt});

    std::promise<SimulatorApps::ScanResult> loopScan;
    std::promise<SimulatorApps::ScanResult> installScan;
    std::promise<SimulatorApps::ScanResult> next;
    std::vector<std::shared_future<SimulatorApps::ScanResult>> answers{loopScan.get_future().share(),
                                                                       installScan.get_future().share()};
    std::atomic<int> calls{0};
    test::FakeClock clock;
    SimulatorApps apps(clock, [&] { return answers.at(calls++).get(); });
    const auto releaseAll = qScopeGuard([&] {
        for (auto* gate : {&loopScan, &installScan, &next})
            test::settle(*gate);
    });
    QSignalSpy appsSpy(&apps, &SimulatorApps::appsChanged);

    // The loop's scan starts, then an install finishes and awaits its own refresh.
    const QFuture<void> older = apps.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 1; }));
    const QFuture<void> newer = apps.refresh();
    installScan.set_value(after);
    waitFor(newer);
    ASSERT_EQ(names(apps.apps()), QStringList{"New"});

    loopScan.set_value(before); // saw the world before the install
    waitFor(older);
    EXPECT_EQ(names(apps.apps()), QStringList{"New"});
    EXPECT_EQ(apps.devices().size(), 1u);
    EXPECT_EQ(appsSpy.count(), 1);

    // A scan that finishes in its turn publishes as usual.
    answers.push_back(next.get_future().share());
    const QFuture<void> later = apps.refresh();
    next.set_value(before);
    waitFor(later);
    EXPECT_TRUE(apps.apps().empty());
}

TEST(SimulatorAppsTest, ResultArrivingAfterDestructionIsDroppedAndItsFutureCancelled) {
    std::promise<SimulatorApps::ScanResult> answer;
    std::shared_future<SimulatorApps::ScanResult> gate = answer.get_future().share();
    std::atomic<int> calls{0};
    test::FakeClock clock;
    QFuture<void> pending;
    {
        SimulatorApps apps(clock, [&] {
            ++calls;
            return gate.get();
        });
        const auto release = qScopeGuard([&answer] { test::settle(answer); });
        pending = apps.refresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 1; }));
        answer.set_value({{}, {{"U1", "iPhone", std::nullopt}}});
    } // the scan's queued result is still undelivered here
    EXPECT_TRUE(pending.isFinished());
    EXPECT_TRUE(pending.isCanceled());
    QCoreApplication::processEvents(); // nothing left to deliver to the dead object
}

TEST(SimulatorAppsTest, LoopRefreshesTenSecondsAfterEachRefreshEnded) {
    std::atomic<int> calls{0};
    test::FakeClock clock;
    SimulatorApps apps(clock, [&] {
        ++calls;
        return SimulatorApps::ScanResult{{}, {{"U1", "iPhone", std::nullopt}}};
    });
    QSignalSpy devicesSpy(&apps, &SimulatorApps::devicesChanged);
    EXPECT_EQ(calls, 0);

    apps.startRefreshLoop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return devicesSpy.count() == 1 && clock.pendingCount() == 1; }));
    EXPECT_EQ(calls, 1);
    clock.advance(9.9);
    EXPECT_EQ(calls, 1);
    clock.advance(0.1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2 && clock.pendingCount() == 1; }));
    apps.startRefreshLoop(); // already running: no second loop
    clock.advance(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 3 && clock.pendingCount() == 1; }));
    EXPECT_EQ(devicesSpy.count(), 1);
}

TEST(SimulatorAppsTest, FindsTheSimulatorsAndAppsOfTheDemoWorldWithIcons) {
    FixtureHome world;
    test::DemoWorld::build(world);
    FakeXcrun fake;
    world.answer(fake);
    test::FakeClock clock;
    SimulatorApps apps(clock);

    waitFor(apps.refresh());

    EXPECT_EQ(names(apps.devices()), (QStringList{"iPad Air", "iPhone 15 Pro"}));
    ASSERT_EQ(names(apps.apps()), (QStringList{"Notes", "Orders", "Weather Lab"}));
    EXPECT_EQ(apps.apps()[1].devices, (QStringList{test::DemoWorld::kPad, test::DemoWorld::kPhone}));
    EXPECT_EQ(apps.apps()[0].version, "(12)");
    for (const SimulatorApp& app : apps.apps()) {
        SCOPED_TRACE(app.id.toStdString());
        ASSERT_TRUE(app.iconPath);
        EXPECT_TRUE(fs::exists(*app.iconPath));
        EXPECT_NE(apps.icon(app).toImage(), fallbackIcon());
    }
}

TEST(SimulatorAppsTest, BootTimeIsTheModificationTimeOfSyslogPid) {
    FixtureHome world;
    world.addSimulator("U1", "iPhone", 3600);
    const auto booted = SimulatorApps::bootedAt("U1");
    ASSERT_TRUE(booted);
    EXPECT_LT(std::abs(booted->secsTo(QDateTime::currentDateTimeUtc()) - 3600), 5);
    EXPECT_FALSE(SimulatorApps::bootedAt("U2"));
}

TEST(SimulatorAppsTest, StoredFormKeepsIdentityAndLeavesOutInstallsAndVersion) {
    SimulatorApp app{"com.example.a",
                     "A",
                     "A.app",
                     {"U1", "U2"},
                     std::nullopt,
                     {{"U1", "iPhone", "/A.app", std::nullopt, {}}},
                     QStringLiteral("1.0 (3)")};
    nlohmann::json json = toJson(app);
    EXPECT_FALSE(json.contains("iconPath"));
    EXPECT_FALSE(json.contains("installs"));
    EXPECT_FALSE(json.contains("version"));
    json["unknown"] = 1;
    const std::optional<SimulatorApp> back = simulatorAppFromJson(json);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->devices, app.devices);
    EXPECT_TRUE(back->installs.empty());
    EXPECT_FALSE(back->version);
    EXPECT_FALSE(back->iconPath);

    app.iconPath = "/A.app/Icon@2x.png";
    EXPECT_EQ(simulatorAppFromJson(toJson(app))->iconPath, app.iconPath);
}
