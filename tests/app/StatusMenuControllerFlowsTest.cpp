#include "app/StatusMenuController.h"

#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

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

} // namespace
} // namespace quorvex
