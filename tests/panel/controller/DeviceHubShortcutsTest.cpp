#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/QuietNetwork.h"

#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/FakePanelWindow.h"
#include "platform/gui/HotKey.h"
#include "support/FakeClock.h"
#include "support/FakeHotKeys.h"
#include "support/FakeWindowSystem.h"
#include "support/HangingTool.h"
#include "support/ToastLog.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::FakeWindowSystem;

const QString kSimulator = QStringLiteral("com.apple.iphonesimulator");

class ScriptedNetwork final : public test::QuietNetwork {
public:
    bool busy = false;
    std::map<QString, std::string> profiles;
    QStringList changes;

    bool isBusy() const override { return busy; }
    NetworkProfile profile(const SimulatorApp& app) const override {
        const auto it = profiles.find(app.id);
        const std::string id = it == profiles.end() ? "unlimited" : it->second;
        for (const NetworkProfile& p : NetworkProfile::builtInAll()) {
            if (p.id == id)
                return p;
        }
        return NetworkProfile::basic().front();
    }
    void setProfile(const NetworkProfile& profile, const SimulatorApp& app) override {
        profiles[app.id] = profile.id;
        changes << app.id + " " + QString::fromStdString(profile.id);
    }
};

TEST(DeviceHubShortcutsRulesTest, NextNetworkProfileCyclesTheSteadyOnes) {
    const auto& steady = NetworkProfile::basic();
    struct Case {
        const char* name;
        NetworkProfile current;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"unlimited to wifi", steady.front(), "wifi"},
        {"the last steady wraps to the first", steady.back(), "unlimited"},
        {"a scenario goes to the second steady profile", NetworkProfile::scenarios().front(), steady[1].id},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DeviceHubShortcuts::nextNetworkProfile(c.current).id, c.expected);
    }
    EXPECT_EQ(steady.back().id, "off");
}

struct ShortcutsFixture : ::testing::Test {
    QTemporaryDir folder;
    QSettings defaults{folder.filePath("d.ini"), QSettings::IniFormat};
    FakeWindowSystem windows;
    test::FakeClock clock;
    test::FakeHotKeys hotKeyService;
    HotKeyRegistry registry{hotKeyService};
    ScriptedNetwork network;
    std::vector<SimulatorDevice> booted = {{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)}};
    std::vector<PhysicalDevice> connected;
    std::vector<SimulatorApp> apps;
    test::FakePanelWindow::State window;
    DeviceHubTracker tracker{windows, clock, {[this] { return booted; }, [this] { return connected; }}};
    DeviceHubPanel panel{{tracker,
                          windows,
                          clock,
                          defaults,
                          [this] { return apps; },
                          [this] { return std::make_unique<test::FakePanelWindow>(window, 500); },
                          {}}};
    std::vector<bool> screenshots;
    int repeats = 0;
    std::optional<QString> appearance = QStringLiteral("Dark appearance");
    DeviceHubShortcuts shortcuts{{tracker, panel, network, registry, [this] { ++repeats; },
                                  [this](bool copy) { screenshots.push_back(copy); },
                                  [](const QString&) { return std::optional<QString>("Shake sent"); },
                                  [this](const QString&) { return appearance; },
                                  [](const QString&) { return std::optional<QString>(); }}};
    test::ToastLog toasts;

    ShortcutsFixture() {
        SimulatorApp notes;
        notes.id = "org.demo.notes";
        notes.name = "Notes";
        notes.devices = {"U1"};
        apps = {notes};
        windows.setScreens({{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)}});
        windows.setWindows({FakeWindowSystem::window(7, 42, QRectF(100, 100, 800, 700))});
    }
    quint32 idOf(int row) const { return shortcuts.hotKeys()[size_t(row)]->id(); }
    void press(int row) {
        hotKeyService.press(idOf(row));
        QCoreApplication::processEvents();
    }
};

TEST_F(ShortcutsFixture, KeysAreHeldOnlyWhileAHostIsFrontmost) {
    windows.setFrontmost("org.example.editor", 77, 99);
    shortcuts.install();
    shortcuts.install();
    ASSERT_EQ(shortcuts.hotKeys().size(), 8u) << "a second install creates nothing";
    EXPECT_EQ(hotKeyService.count(test::FakeHotKeys::Call::Register), 0);

    windows.setFrontmost(kSimulator, 42, 7);
    windows.announceChange();
    for (int row = 0; row < 8; ++row)
        EXPECT_TRUE(hotKeyService.holds(idOf(row)));
    press(1);
    press(2);
    press(3);
    EXPECT_EQ(screenshots, (std::vector<bool>{false, true}));
    EXPECT_EQ(repeats, 1);

    windows.setFrontmost("org.example.editor", 77, 99);
    windows.announceChange();
    for (int row = 0; row < 8; ++row)
        EXPECT_FALSE(hotKeyService.holds(idOf(row)));
    press(1); // a press already on its way when the key was released
    EXPECT_EQ(screenshots.size(), 2u);
}

TEST_F(ShortcutsFixture, TheTableIsTheOneTheMenuShows) {
    const auto& table = DeviceHubShortcuts::table();
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[0].keys, "Ctrl+Alt+N");
    EXPECT_EQ(table[0].title, "Cycle Network Speed");
    EXPECT_EQ(table[1].keyCode, VirtualKey::S);
    EXPECT_EQ(table[5].keys, "Ctrl+Super+Z");
    EXPECT_EQ(table[7].title, "Simulate Memory Warning");
}

TEST_F(ShortcutsFixture, CycleNetworkSpeedRefusesWhenItCannotApplyAndNamesTheNewProfile) {
    network.profiles["org.demo.notes"] = "off";
    shortcuts.cycleNetworkSpeed();
    EXPECT_EQ(network.changes, QStringList{"org.demo.notes unlimited"});
    EXPECT_EQ(toasts.messages().back(), (ToastMessage{"Notes: No Limit", std::nullopt, "network", false}));

    shortcuts.cycleNetworkSpeed();
    EXPECT_EQ(toasts.messages().back(), (ToastMessage{"Notes: Wi-Fi", std::nullopt, "wifi", false}));

    network.busy = true; // the change would be dropped: say so and change nothing
    shortcuts.cycleNetworkSpeed();
    EXPECT_EQ(network.changes.size(), 2);
    EXPECT_TRUE(toasts.messages().back().failed);
    EXPECT_NE(toasts.messages().back().title, "Notes: 5G");

    apps.clear();
    network.busy = false;
    shortcuts.cycleNetworkSpeed();
    EXPECT_EQ(toasts.titles().back(), "No app to throttle");

    connected = {{"P1", "Work iPhone", std::nullopt, std::nullopt, {}}};
    panel.setDeviceOverride("P1");
    shortcuts.cycleNetworkSpeed();
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Only available on simulators",
                            "Work iPhone’s traffic doesn’t go through this computer.", "network", true}));
    EXPECT_EQ(network.changes.size(), 2);
}

TEST_F(ShortcutsFixture, SimulatorCommandsReportTheirResultOrTheFailure) {
    const auto run = [&](DeviceHubShortcuts::Command command) {
        shortcuts.run(command);
        QCoreApplication::processEvents();
    };
    run(DeviceHubShortcuts::Command::toggleAppearance);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.messages().size() == 1; }));
    EXPECT_EQ(toasts.messages()[0],
              (ToastMessage{"Dark appearance", std::nullopt, "circle.lefthalf.filled", false}));
    run(DeviceHubShortcuts::Command::memoryWarning);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.messages().size() == 2; }));
    EXPECT_EQ(toasts.messages()[1],
              (ToastMessage{"Didn’t work on iPhone 15", std::nullopt, "memorychip", true}));

    booted.clear();
    run(DeviceHubShortcuts::Command::shake);
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"No simulator running", std::nullopt, "iphone.radiowaves.left.and.right", true}));
    connected = {{"P1", "Work iPhone", std::nullopt, std::nullopt, {}}};
    panel.setDeviceOverride("P1");
    run(DeviceHubShortcuts::Command::shake);
    EXPECT_EQ(toasts.messages().back().title, "Only available on simulators");
    EXPECT_EQ(toasts.messages().back().detail, "Work iPhone is a physical device.");
}

TEST_F(ShortcutsFixture, AtQuitACommandStillRunningHasItsToolEnded) {
    auto quitting = std::make_unique<DeviceHubShortcuts>(
        DeviceHubShortcuts::Dependencies{tracker, panel, network, registry, {}, {}, {}, {}, {}});
    const QString started = folder.filePath("started");
    quitting->runOnSimulator("memorychip", [started](const QString&) -> std::optional<QString> {
        test::runHangingTool(started);
        return std::nullopt;
    });
    ASSERT_TRUE(test::waitUntilStarted(started));
    const auto closing = std::chrono::steady_clock::now();
    quitting.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(15));
}

TEST_F(ShortcutsFixture, ToggleSidePanelFlipsTheSettingAndSaysSo) {
    shortcuts.toggleSidePanel();
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Side panel hidden", std::nullopt, "sidebar.right", false}));
    shortcuts.toggleSidePanel();
    EXPECT_EQ(toasts.titles().back(), "Side panel shown");
}

} // namespace
} // namespace quorvex
