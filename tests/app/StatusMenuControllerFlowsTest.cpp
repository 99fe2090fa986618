#include "app/StatusMenuController.h"

#include "app/ConnectedDeviceSubmenuBuilder.h"
#include "app/MenuTestWorld.h"
#include "devices/core/DeviceContainerWorld.h"
#include "devices/core/DeviceSnapshotStore.h"
#include "devices/core/PhysicalDevices.h"
#include "devices/flows/DeviceFlows.h"
#include "support/FakeClipboard.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/RecordingWorkspace.h"
#include "tools/Environment.h"
#include "windows/DeviceScreenshot.h"
#include "windows/ScreenshotThumbnail.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::findRow;

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(3000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(2000)};

fs::path containerOf(const SimulatorDevice& device) {
    return homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices" / device.udid.toStdString() /
           "data/Containers/Data/Application/MAPS";
}

SimulatorApp app(const std::vector<SimulatorDevice>& on) {
    SimulatorApp result;
    result.id = QStringLiteral("com.demo.maps");
    result.name = QStringLiteral("Maps Demo");
    result.bundleFolder = QStringLiteral("Maps Demo.app");
    for (const SimulatorDevice& device : on) {
        result.devices << device.udid;
        result.installs.push_back(
            SimulatorInstall{device.udid, device.name, "/nowhere/Maps Demo.app", containerOf(device), {}});
    }
    result.version = QStringLiteral("2.1 (40)");
    return result;
}

std::vector<std::string> simctl(std::initializer_list<std::string> arguments) {
    std::vector<std::string> result{"simctl"};
    result.insert(result.end(), arguments);
    return result;
}

TEST(AppCommandFlowsTest, LaunchAndTerminateRunOnEverySimulatorAndReportOnce) {
    test::MenuTestWorld world;
    test::FakeXcrun xcrun;
    xcrun.on({"**"});
    test::ToastLog toasts;
    const SimulatorApp maps = app({kPhone, kPad});
    const MenuRows rows = world.appMenu(maps);
    findRow(rows, "Launch")->handler();
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.messages().size() == 1; }, 30'000));
    world.controller().terminateApp(maps, {SimulatorDevice{kPad.udid, kPad.name, std::nullopt}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return toasts.messages().size() == 2; }, 30'000));
    EXPECT_EQ(toasts.titles(), QStringList({"Launched Maps Demo", "Terminated Maps Demo"}));
    const auto calls = xcrun.argumentLists();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"simctl", "launch", "UDID-PHONE", "com.demo.maps"}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{"simctl", "launch", "UDID-PAD", "com.demo.maps"}));
    EXPECT_EQ(calls[2], (std::vector<std::string>{"simctl", "terminate", "UDID-PAD", "com.demo.maps"}));
}

TEST(AppCommandFlowsTest, AnUninstallRefusedBySomeSimulatorsNamesOnlyThoseAndClearsTheBusyFlag) {
    struct Case {
        const char* name;
        std::vector<std::string> refusing;
        ToastMessage expected;
    };
    const std::vector<Case> cases = {
        {"all uninstalled", {}, {"Uninstalled Maps Demo", std::nullopt, "xmark.bin", false}},
        {"the second refuses",
         {"UDID-PAD"},
         {"Couldn’t uninstall on iPad Air", std::nullopt, "exclamationmark.triangle", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        test::FakeXcrun xcrun;
        for (const std::string& udid : c.refusing)
            xcrun.on({"simctl", "uninstall", udid, "**"}, "", 1);
        xcrun.on({"**"});
        const SimulatorApp maps = app({kPhone, kPad});
        world.devices = {kPad, kPhone};
        world.apps = {maps};
        world.publish();
        const int scansBefore = world.scans;
        // What simctl leaves behind: the app only where the uninstall was refused.
        world.apps =
            c.refusing.empty() ? std::vector<SimulatorApp>{} : std::vector<SimulatorApp>{app({kPad})};

        ASSERT_TRUE(Cleanup::shared().beginLongTask()); // as the confirmation does
        test::ToastLog toasts;
        test::finish(
            world.controller().uninstall(maps, {SimulatorDevice{kPhone.udid, kPhone.name, std::nullopt},
                                                SimulatorDevice{kPad.udid, kPad.name, std::nullopt}}));
        EXPECT_EQ(toasts.messages(), std::vector<ToastMessage>{c.expected});
        EXPECT_FALSE(Cleanup::shared().isWorking());
        EXPECT_EQ(world.scans, scansBefore + 1) << "the toast waited for a new inventory";
        EXPECT_EQ(world.simulatorApps.apps().size(), c.refusing.size());
        EXPECT_EQ(xcrun.argumentLists(), (std::vector<std::vector<std::string>>{
                                             {"simctl", "uninstall", "UDID-PHONE", "com.demo.maps"},
                                             {"simctl", "uninstall", "UDID-PAD", "com.demo.maps"}}));
    }
}

TEST(AppCommandFlowsTest, MediaChooserCountsTheChosenItems) {
    struct Case {
        const char* name;
        std::vector<std::filesystem::path> chosen;
        std::optional<QString> title;
    };
    const std::vector<Case> cases = {
        {"cancelled", {}, std::nullopt},
        {"one file", {"/tmp/a.jpg"}, QString("Added 1 item")},
        {"two files", {"/tmp/a.jpg", "/tmp/b.vcf"}, QString("Added 2 items")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on(simctl({"addmedia", "**"}));
        test::FakeDialogs dialogs;
        dialogs.queuePanelAnswer(c.chosen);
        test::MenuTestWorld world;
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        ASSERT_TRUE(test::finishes(world.controller().chooseMediaToAdd(kPhone)));
        ASSERT_EQ(dialogs.panels().size(), 1u);
        EXPECT_TRUE(dialogs.panels()[0].multipleSelection);
        if (!c.title) {
            EXPECT_TRUE(toasts.isEmpty());
            EXPECT_TRUE(fake.argumentLists().empty());
            continue;
        }
        EXPECT_EQ(test::toastsOf(toasts),
                  (std::vector<ToastMessage>{{*c.title, QString("iPhone 15 Pro"), "checkmark", false}}));
    }
}

// A copy off or onto a connected device may hold the busy flag for hours. One started from the
// menu is stopped from the menu: while it runs, a "Cancel Copy" row kills its devicectl run.
TEST(DeviceCopyFlowsTest, TheMenuOffersToCancelARunningCopyUntilItEnds) {
    using Args = std::vector<std::string>;
    const PhysicalDevice& device = test::kContainerDevice;
    const DeviceApp& maps = test::kContainerApp;
    test::MenuTestWorld world;
    test::FakeXcrun xcrun;
    test::FakeDialogs dialogs;
    test::ToastLog toasts;
    test::RecordingWorkspace workspace;
    test::FakeClipboard clipboard;
    PhysicalDevices inventory{world.clock};
    ScreenshotThumbnail thumbnail{world.clock, workspace};
    DeviceScreenshot screenshots{world.clock, clipboard, DeviceScreenshot::systemTools(thumbnail)};
    DeviceFlows flows{inventory, screenshots, workspace};
    test::FakeNeighbours& around = world.neighbours;
    StatusMenuController controller(
        StatusMenuController::Models{world.simulatorApps, world.actions, world.permissions, Cleanup::shared(),
                                     world.updates,
                                     Services{around.network, around.deviceHub, around.actionWindows, flows,
                                              around.cleanupFlows, around.cleanerWindow},
                                     world.clock, [] {}, [] {}},
        false);
    const ConnectedDeviceSubmenuBuilder deviceRows({flows, around.deviceHub});

    QTemporaryDir folder;
    const fs::path container = fs::path(folder.path().toStdString()) / "container";
    fs::create_directories(container / "Documents");
    std::ofstream(container / "Documents/notes.txt") << "notes";
    const auto deviceCopiesOut = [&] {
        xcrun.rule(
            {{"args", test::containerCopyFromArgs()}, {"effects", {{{"copy", {container.string(), 13}}}}}});
    };
    deviceCopiesOut();
    const DeviceSnapshot saved = DeviceSnapshotStore::save(maps.id, device, "Clean");

    const Args copyFrom = test::containerCopyFromArgs();
    const Args copyTo = {"devicectl", "device", "copy", "to", "**"};
    struct Case {
        const char* row; // in the app's submenu, or in the snapshot's
        bool inSnapshot;
        Args stalled; // the copy that would not end for minutes
        QString subtitle;
        ToastMessage toast;
    };
    const Case cases[] = {
        {"Save Snapshot…",
         false,
         copyFrom,
         QStringLiteral("Saving a snapshot of Maps on Ana’s iPhone"),
         {"Snapshot cancelled", QStringLiteral("Nothing was saved."), "clock.arrow.circlepath", false}},
        {"Download",
         false,
         copyFrom,
         QStringLiteral("Downloading Maps’s data from Ana’s iPhone"),
         {"Download cancelled", std::nullopt, "arrow.down.circle", false}},
        {"Restore…",
         true,
         copyTo,
         QStringLiteral("Restoring “Clean” on Ana’s iPhone"),
         {"Restore cancelled", QStringLiteral("Maps’s data was put back as it was."),
          "arrow.uturn.backward.circle", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        xcrun.clearRules();
        xcrun.clearLog();
        if (c.stalled != copyFrom)
            deviceCopiesOut();
        // A restore that stops puts the app's data back from the copy it took first.
        xcrun.on({"devicectl", "device", "copy", "to", "**", "--source", "*/.backup-*/*", "**"});
        xcrun.rule({{"args", c.stalled}, {"delay", 300}});
        EXPECT_FALSE(findRow(controller.buildMenu(), "Cancel Copy")) << "no copy runs yet";

        MenuRows appRows;
        deviceRows.fillDeviceAppSubmenu(appRows, device, maps, DeviceSnapshot::list(maps.id));
        const MenuRow* start =
            c.inSnapshot ? findRow(findRow(appRows, "Clean")->children, c.row) : findRow(appRows, c.row);
        ASSERT_TRUE(start);
        QSignalSpy ended(&flows, &DeviceFlows::flowFinished);
        start->handler();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const Args& args : xcrun.argumentLists())
                    if (args.size() > 3 && args[3] == c.stalled[3])
                        return true;
                return false;
            },
            10'000));
        ASSERT_TRUE(Cleanup::shared().isWorking());

        const MenuRows menu = controller.buildMenu();
        const MenuRow* cancel = findRow(menu, "Cancel Copy");
        ASSERT_TRUE(cancel);
        EXPECT_EQ(cancel->subtitle, c.subtitle);
        // It sits with the device rows in Tools, whether or not the device is still listed.
        const QStringList lines = test::outline(menu);
        EXPECT_EQ(lines.indexOf(QRegularExpression("Cancel Copy .*")), lines.indexOf("Simulators >") + 1);
        cancel->handler();
        ASSERT_TRUE(ended.count() > 0 || ended.wait(10'000)) << "the copy was killed, not waited for";
        EXPECT_FALSE(Cleanup::shared().isWorking());
        EXPECT_EQ(toasts.messages().back(), c.toast);
        EXPECT_FALSE(findRow(controller.buildMenu(), "Cancel Copy"));
    }
    fs::remove_all(DeviceSnapshot::rootFolder());
    fs::remove_all(homeDirectoryURL() / "Downloads");
}

} // namespace
} // namespace quorvex
