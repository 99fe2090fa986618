#include "app/StatusMenuController.h"

#include "app/DeviceActions.h"
#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/QtPrinters.h"
#include "tools/Environment.h"
#include "windows/ScreenshotSettings.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

const QString kStatusBarCapability = QStringLiteral("com.apple.coredevice.feature.simulateStatusBar");

PhysicalDevice device(const QString& id, const QString& name, std::set<QString> capabilities = {}) {
    return PhysicalDevice{id, name, std::nullopt, std::nullopt, std::move(capabilities)};
}

void clearScreenshotSettings() {
    for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                               ScreenshotSettings::kCopyKey, ScreenshotSettings::kFolderKey})
        sharedDefaults().remove(key);
}

TEST(ToolsSubmenusTest, ConnectedDevicesListTheStatusBarOnlyWhereTheDeviceCanAndSeparateTheSections) {
    clearScreenshotSettings();
    const QString summary = "Device frame · saved to Desktop · copied";
    const QStringList common = {
        "Take Screenshot (" + summary + ")",
        "Copy Screenshot (To the clipboard · ⌃⌥C in Simulator)",
        "Screenshot Options >",
    };
    const QStringList rest = {
        "Open URL…",
        "Send Push Notification… (Through APNs with your .p8 key)",
        "App Data >",
        "Launch App with Arguments…",
        "Install Configuration Profile… (Trust a proxy certificate, and more)",
    };
    struct Case {
        const char* name;
        std::vector<PhysicalDevice> devices;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"with the status-bar capability",
         {device("D1", "Ana’s iPhone", {kStatusBarCapability})},
         QStringList{"# Ana’s iPhone"} + common + QStringList{"Status Bar >"} + rest},
        {"without it", {device("D1", "Ana’s iPhone")}, QStringList{"# Ana’s iPhone"} + common + rest},
        {"two devices, one separator between them",
         {device("D1", "Ana’s iPhone"), device("D2", "Test iPad")},
         QStringList{"# Ana’s iPhone"} + common + rest + QStringList{"---", "# Test iPad"} + common + rest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        MenuRows rows;
        world.controller().fillConnectedDevices(rows, c.devices);
        EXPECT_EQ(outline(rows), c.expected);
    }
}

TEST(ToolsSubmenusTest, ConnectedDeviceRowsActOnTheirOwnDevice) {
    test::MenuTestWorld world;
    MenuRows rows;
    world.controller().fillConnectedDevices(rows, {device("D1", "Ana’s iPhone"), device("D2", "Test iPad")});
    // The second section's rows: after the separator.
    const auto separator = std::find_if(
        rows.begin(), rows.end(), [](const MenuRow& row) { return row.kind == MenuRow::Kind::separator; });
    ASSERT_NE(separator, rows.end());
    const MenuRows second(separator + 1, rows.end());
    test::findRow(second, "Take Screenshot")->handler();
    test::findRow(second, "Copy Screenshot")->handler();
    test::findRow(second, "Send Push Notification…")->handler();
    EXPECT_EQ(world.neighbours.deviceFlows.calls, (QStringList{"screenshot D2", "copy D2", "push D2"}));
}

TEST(ToolsSubmenusTest, DeviceStatusBarPresetsReportWhatDevicectlAnswered) {
    const PhysicalDevice phone = device("00008110-AAAA", "Ana’s iPhone", {kStatusBarCapability});
    MenuRows rows;
    fillDeviceStatusBarSubmenu(rows, phone);
    EXPECT_EQ(outline(rows), (QStringList{"Clean (9:41, Full Battery)", "Low Battery", "No Service",
                                          "Charging", "---", "Reset Status Bar"}));

    struct Case {
        const char* name;
        PhysicalDeviceTools::StatusBarPreset preset;
        int exit;
        ToastMessage expected;
    };
    const std::vector<Case> cases = {
        {"success repeats the preset's title",
         PhysicalDeviceTools::StatusBarPreset::lowBattery,
         0,
         {"Low Battery", std::nullopt, "checkmark.circle", false}},
        {"a locked device",
         PhysicalDeviceTools::StatusBarPreset::noService,
         1,
         {"Didn’t work on Ana’s iPhone", QString("Is it unlocked and connected?"), "exclamationmark.triangle",
          true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on({"devicectl", "device", "simulate", "statusBar", "**"}, "", c.exit);
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        const QFuture<void> done = runDeviceAction(statusBarPresetTitle(c.preset), phone, [&] {
            return PhysicalDeviceTools::setStatusBar(c.preset, phone.id, true);
        });
        ASSERT_TRUE(test::finishes(done));
        EXPECT_EQ(test::toastsOf(toasts), std::vector<ToastMessage>{c.expected});
        ASSERT_EQ(fake.argumentLists().size(), 1u);
        const std::vector<std::string> arguments = fake.argumentLists().front();
        EXPECT_NE(std::find(arguments.begin(), arguments.end(),
                            PhysicalDeviceTools::rawValue(c.preset).toStdString()),
                  arguments.end());
    }
}

TEST(ToolsSubmenusTest, DeviceAppDataCommandsShowProgressOnlyForWorkThatStarts) {
    const PhysicalDevice phone = device("D1", "Ana’s iPhone");
    const DeviceApp shop{"com.example.shop", "Shop", std::nullopt, std::nullopt};
    const DeviceSnapshot snapshot{QUuid::createUuid(), "Before login", shop.id, phone.name, {}, 1024};
    struct Case {
        const char* name;
        std::optional<QString> snapshotName;
        bool confirmsRestore;
        std::function<void(DeviceFlowsService&)> command;
        QStringList calls;
        QStringList toasts;
    };
    const std::vector<Case> cases = {
        {"save cancelled",
         std::nullopt,
         false,
         [&](DeviceFlowsService& flows) { saveDeviceSnapshot(flows, shop, phone); },
         {"prompt com.example.shop"},
         {}},
        {"save named",
         QString("Before login"),
         false,
         [&](DeviceFlowsService& flows) { saveDeviceSnapshot(flows, shop, phone); },
         {"prompt com.example.shop", "save D1 com.example.shop Before login"},
         {"Saving snapshot…"}},
        {"download",
         std::nullopt,
         false,
         [&](DeviceFlowsService& flows) { downloadDeviceAppData(flows, shop, phone); },
         {"download D1 com.example.shop"},
         {"Downloading Shop’s data…"}},
        {"restore declined",
         std::nullopt,
         false,
         [&](DeviceFlowsService& flows) {
             MenuRows rows;
             fillDeviceSnapshotSubmenu(flows, rows, snapshot, shop, phone);
             test::findRow(rows, "Restore…")->handler();
         },
         {"confirm restore Before login"},
         {}},
        {"restore confirmed",
         std::nullopt,
         true,
         [&](DeviceFlowsService& flows) {
             MenuRows rows;
             fillDeviceSnapshotSubmenu(flows, rows, snapshot, shop, phone);
             EXPECT_EQ(outline(rows), (QStringList{"Restore…", "Delete Snapshot…"}));
             test::findRow(rows, "Restore…")->handler();
         },
         {"confirm restore Before login", "restore Before login com.example.shop D1"},
         {"Restoring…"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeDeviceFlows flows;
        flows.snapshotName = c.snapshotName;
        flows.confirmsRestore = c.confirmsRestore;
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        c.command(flows);
        EXPECT_EQ(flows.calls, c.calls);
        QStringList titles;
        for (const ToastMessage& toast : test::toastsOf(toasts))
            titles << toast.title;
        EXPECT_EQ(titles, c.toasts);
    }
}

TEST(ToolsSubmenusTest, HostRowsAndAddHostAreDisabledWhileTheNetworkModelIsBusy) {
    struct Case {
        const char* name;
        bool busy;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"idle",
         false,
         {"api.example.com > (Blocked)", "cdn.example.com > (Off)", "---", "Add Host…",
          "i Simulator apps get “connection refused” for\nthese hosts and their subdomains."}},
        {"busy",
         true,
         {"api.example.com > (Blocked) {off}", "cdn.example.com > (Off) {off}", "---", "Add Host… {off}",
          "i Simulator apps get “connection refused” for\nthese hosts and their subdomains."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.network.rules = {{"api.example.com", true}, {"cdn.example.com", false}};
        world.neighbours.network.busy = c.busy;
        MenuRows rows;
        world.controller().fillBlockedHosts(rows);
        EXPECT_EQ(outline(rows), c.expected);
        // An enabled rule offers to stop, a disabled one to block again.
        EXPECT_EQ(outline(rows[0].children), (QStringList{"Stop Blocking", "Remove"}));
        EXPECT_EQ(outline(rows[1].children), (QStringList{"Block", "Remove"}));
    }
}

TEST(ToolsSubmenusTest, ScreenshotSummaryAndOptionsFollowTheStoredSwitches) {
    struct Case {
        const char* name;
        std::map<QString, QVariant> stored;
        QString summary;
        QStringList toggles;
    };
    const std::vector<Case> cases = {
        {"nothing stored: everything on",
         {},
         "Device frame · saved to Desktop · copied",
         {"Device Frame (Around the screen, like the real device) ✓",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ✓"}},
        {"frame and copy off: the folder part takes the capital",
         {{ScreenshotSettings::kFrameKey, false}, {ScreenshotSettings::kCopyKey, false}},
         "Saved to Desktop",
         {"Device Frame (Around the screen, like the real device) ○",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ○"}},
        {"a text where a Boolean belongs reads as on",
         {{ScreenshotSettings::kFrameKey, QStringLiteral("false")},
          {ScreenshotSettings::kFolderKey, "/tmp/Shots"}},
         "Device frame · saved to Shots · copied",
         {"Device Frame (Around the screen, like the real device) ✓",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ✓"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearScreenshotSettings();
        for (const auto& [key, value] : c.stored)
            sharedDefaults().setValue(key, value);
        test::MenuTestWorld world;
        EXPECT_EQ(world.controller().screenshotSummary(), c.summary);
        MenuRows rows;
        world.controller().fillScreenshotOptions(rows);
        EXPECT_EQ(outline(rows).mid(0, 3), c.toggles);
        // A switch writes the opposite of what it showed, as a Boolean.
        const bool frameShown = *rows[0].checked;
        rows[0].handler();
        const QVariant written = sharedDefaults().value(ScreenshotSettings::kFrameKey);
        EXPECT_EQ(written.typeId(), QMetaType::Bool);
        EXPECT_EQ(written.toBool(), !frameShown);
    }
    clearScreenshotSettings();
}

TEST(ToolsSubmenusTest, ScreenshotFolderIsChosenInAnOpenPanelAndACancelKeepsIt) {
    clearScreenshotSettings();
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
    MenuRows rows;
    world.controller().fillScreenshotOptions(rows);
    const MenuRow* folder = test::findRow(rows, "Screenshot Folder: Desktop…");
    ASSERT_NE(folder, nullptr);
    folder->handler(); // cancelled
    EXPECT_FALSE(sharedDefaults().contains(ScreenshotSettings::kFolderKey));
    dialogs.queuePanelAnswer({"/tmp/Shots"});
    folder->handler();
    ASSERT_EQ(dialogs.panels().size(), 2u);
    EXPECT_TRUE(dialogs.panels()[1].chooseFolders);
    EXPECT_EQ(dialogs.panels()[1].prompt, "Save Here");
    EXPECT_EQ(ScreenshotSettings::folderDisplayName(), "Shots");
    clearScreenshotSettings();
}

TEST(ToolsSubmenusTest, HostAppSubmenuTellsWhetherTheFocusedDeviceCanBeFollowed) {
    struct Case {
        const char* name;
        bool readsTitles;
        std::optional<SimulatorDevice> target;
        QString follow;
    };
    const SimulatorDevice phone{"UDID-PHONE", "iPhone 15 Pro", std::nullopt};
    const std::vector<Case> cases = {
        {"no accessibility, a simulator booted", false, phone,
         "Follow Focused Device (Needs Accessibility access) ○"},
        {"access, no target", true, std::nullopt, "Follow Focused Device (No simulator in focus) ✓"},
        {"access and a target", true, phone, "Follow Focused Device (Now: iPhone 15 Pro) ✓"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.deviceHub.readsTitles = c.readsTitles;
        world.neighbours.deviceHub.target = c.target;
        world.neighbours.deviceHub.panelEnabled = false;
        MenuRows rows;
        world.controller().fillHostApp(rows);
        const QStringList lines = outline(rows);
        ASSERT_EQ(lines.size(), 14);
        EXPECT_EQ(lines.mid(0, 6),
                  (QStringList{"Open Simulator", "---", "Show Side Panel (Next to Simulator’s window) ○",
                               c.follow, "---", "# While Simulator Is in Front"}));
        EXPECT_EQ(lines[6], "i ⌃⌥N   Cycle Network Speed");
        EXPECT_EQ(lines[13], "i ⌃⌘M   Simulate Memory Warning");
        test::findRow(rows, "Show Side Panel")->handler();
        EXPECT_EQ(world.neighbours.deviceHub.panelChanges, std::vector<bool>{true});
    }
}

} // namespace
} // namespace quorvex
