#include "app/ConnectedDeviceSubmenuBuilder.h"

#include "app/DeviceActions.h"
#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/QtPrinters.h"
#include "tools/Environment.h"
#include "windows/ScreenshotSettings.h"

#include <QSettings>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
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

TEST(ConnectedDeviceSubmenuBuilderTest,
     ConnectedDevicesListTheStatusBarOnlyWhereTheDeviceCanAndSeparateTheSections) {
    clearScreenshotSettings();
    const QString summary = "Device frame · saved to Desktop · copied";
    const QStringList common = {
        "Take Screenshot (" + summary + ")",
        "Copy Screenshot (To the clipboard · Ctrl+Alt+C in Simulator)",
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
        world.connectedDeviceBuilder().fill(rows, c.devices);
        EXPECT_EQ(outline(rows), c.expected);
    }
}

TEST(ConnectedDeviceSubmenuBuilderTest, ConnectedDeviceRowsActOnTheirOwnDevice) {
    test::MenuTestWorld world;
    MenuRows rows;
    world.connectedDeviceBuilder().fill(rows, {device("D1", "Ana’s iPhone"), device("D2", "Test iPad")});
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

TEST(ConnectedDeviceSubmenuBuilderTest, DeviceStatusBarPresetsReportWhatDevicectlAnswered) {
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

TEST(ConnectedDeviceSubmenuBuilderTest, DeviceAppDataCommandsShowProgressOnlyForWorkThatStarts) {
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
         {"prompt com.example.shop D1"},
         {}},
        {"save named",
         QString("Before login"),
         false,
         [&](DeviceFlowsService& flows) { saveDeviceSnapshot(flows, shop, phone); },
         {"prompt com.example.shop D1", "save D1 com.example.shop Before login"},
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

TEST(ConnectedDeviceSubmenuBuilderTest, AConnectedDeviceListsItsAppsWithTheirSnapshots) {
    test::MenuTestWorld world;
    test::FakeXcrun xcrun;
    xcrun.on({"**"});
    // The snapshot folder lies in the test's home; the next test starts without it.
    struct RemoveLibrary {
        ~RemoveLibrary() { fs::remove_all(homeDirectoryURL() / "Library"); }
    } removeLibrary;
    const PhysicalDevice device{"DEVICE-1", "Ana’s iPhone", "iPhone 15", "iPhone15,2", {}};
    MenuRows none;
    world.connectedDeviceBuilder().fillDeviceAppData(none, device);
    EXPECT_EQ(outline(none), QStringList{"i Apps you run from Xcode show up here."});

    world.neighbours.deviceFlows.deviceApps[device.id] = {DeviceApp{"com.demo.maps", "Maps", {}, {}},
                                                          DeviceApp{"com.demo.notes", "Notes", {}, {}}};
    const fs::path folder = DeviceSnapshot::rootFolder() / "com.demo.maps" / "one";
    fs::create_directories(folder);
    std::ofstream(folder / "info.json")
        << R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"Signed in","bundleID":"com.demo.maps",)"
        << R"("deviceName":"Ana’s iPhone","date":"2026-01-02T10:00:00Z","size":2048000})";
    MenuRows rows;
    world.connectedDeviceBuilder().fillDeviceAppData(rows, device);
    EXPECT_EQ(outline(rows), QStringList({"Maps > (1 snapshot)", "Notes >"}));
    const QStringList maps = outline(rows[0].children);
    ASSERT_EQ(maps.size(), 5);
    EXPECT_EQ(maps.mid(0, 4),
              QStringList({"Save Snapshot…", "Download (To your Downloads folder)", "---", "# Snapshots"}));
    EXPECT_TRUE(maps[4].startsWith("Signed in > (")) << maps[4].toStdString();
    EXPECT_TRUE(maps[4].endsWith(" · 2 MB)")) << maps[4].toStdString();
    EXPECT_EQ(outline(rows[1].children),
              QStringList({"Save Snapshot…", "Download (To your Downloads folder)"}));
}

} // namespace
} // namespace quorvex
