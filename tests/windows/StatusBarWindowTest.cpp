#include "windows/StatusBarWindow.h"

#include "support/ToastLog.h"
#include "windows/StatusBarView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <mutex>
#include <thread>

using namespace quorvex;
using StatusBar = DeviceTools::StatusBar;

namespace {

std::vector<SimulatorDevice> simulators(const QStringList& names) {
    std::vector<SimulatorDevice> list;
    for (const QString& name : names)
        list.push_back({QStringLiteral("udid-") + name, name, std::nullopt});
    return list;
}

// Records each tool call, in the order the calls ran, and fails the ones it is told to.
struct Tools {
    std::mutex lock;
    QStringList calls;
    QStringList failing;
    int overrideDelayMs = 0;

    StatusBarWindow::Override overrideStatusBar() {
        return [this](const StatusBar& settings, const QString& udid) {
            std::this_thread::sleep_for(std::chrono::milliseconds(overrideDelayMs));
            const std::lock_guard guard(lock);
            calls << QStringLiteral("override ") + udid + u' ' + settings.time;
            return !failing.contains(udid);
        };
    }
    StatusBarWindow::Clear clearStatusBar() {
        return [this](const QString& udid) {
            const std::lock_guard guard(lock);
            calls << QStringLiteral("clear ") + udid;
            return !failing.contains(udid);
        };
    }
};

void waitForRuns(StatusBarWindow& window, int count) {
    QSignalSpy finished(&window, &StatusBarWindow::runFinished);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() >= count; }, 5000));
}

} // namespace

TEST(StatusBarWindowTest, ApplyReportsTheOneNameOrTheCountAndNamesTheFailures) {
    struct Case {
        const char* name;
        QStringList devices;
        std::optional<QString> target;
        QStringList failing;
        ToastMessage toast;
    };
    const std::vector<Case> cases = {
        {"all three",
         {"A", "B", "C"},
         std::nullopt,
         {},
         {"Status bar set", QString("3 simulators"), "checkmark", false}},
        {"one listed", {"A"}, std::nullopt, {}, {"Status bar set", QString("A"), "checkmark", false}},
        {"one chosen of three",
         {"A", "B", "C"},
         QString("B"),
         {},
         {"Status bar set", QString("B"), "checkmark", false}},
        {"two of three fail",
         {"A", "B", "C"},
         std::nullopt,
         {"udid-A", "udid-C"},
         {"Didn’t work on A, C", std::nullopt, "exclamationmark.triangle", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tools tools;
        tools.failing = c.failing;
        StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
        const auto devices = simulators(c.devices);
        std::optional<SimulatorDevice> target;
        for (const auto& device : devices)
            if (c.target && device.name == *c.target)
                target = device;
        window.show(devices, target);
        test::ToastLog toasts;
        window.apply();
        waitForRuns(window, 1);
        ASSERT_EQ(toasts.messages().size(), 1u);
        EXPECT_EQ(toasts.messages()[0], c.toast);
        QStringList expected;
        for (const auto& device : window.state().targetDevices())
            expected << "override " + device.udid + " 9:41";
        EXPECT_EQ(tools.calls, expected) << "in list order";
    }
}

TEST(StatusBarWindowTest, WithNoSimulatorApplyIsOffButResetStillRunsAndReports) {
    Tools tools;
    StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
    window.show({}, std::nullopt);
    EXPECT_FALSE(window.canApply());
    EXPECT_FALSE(window.window()->findChild<QPushButton*>("applyButton")->isEnabled());
    EXPECT_TRUE(window.window()->findChild<QPushButton*>("resetButton")->isEnabled());
    test::ToastLog toasts;
    window.window()->findChild<QPushButton*>("resetButton")->click();
    waitForRuns(window, 1);
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0],
              (ToastMessage{"Status bar reset", QString("0 simulators"), "checkmark", false}));
}

TEST(StatusBarWindowTest, ApplyThenResetRunInClickOrderEvenWhenTheOverrideIsSlow) {
    Tools tools;
    tools.overrideDelayMs = 150;
    StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
    window.show(simulators({"A"}), std::nullopt);
    test::ToastLog toasts;
    window.apply();
    window.reset();
    waitForRuns(window, 2);
    EXPECT_EQ(tools.calls, (QStringList{"override udid-A 9:41", "clear udid-A"}));
    EXPECT_EQ(toasts.titles(), (QStringList{"Status bar set", "Status bar reset"}));
}

TEST(StatusBarWindowTest, ReturnInAFieldAppliesOnceAndNothingWhileApplyIsOff) {
    Tools tools;
    StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
    window.show(simulators({"A"}), std::nullopt);
    auto* time = window.window()->findChild<QLineEdit*>("timeField");
    auto* carrier = window.window()->findChild<QLineEdit*>("carrierField");
    QTest::keyClick(time, Qt::Key_Return);
    QTest::keyClick(carrier, Qt::Key_Enter, Qt::KeypadModifier);
    waitForRuns(window, 2);
    EXPECT_EQ(tools.calls, (QStringList{"override udid-A 9:41", "override udid-A 9:41"}));
    // An invalid time turns Apply off: Return then applies nothing.
    time->setText("24:00");
    QTest::keyClicks(time, "0");
    QTest::keyClick(time, Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(tools.calls.size(), 2);
}

TEST(StatusBarWindowTest, AnInvalidTimeDisablesApplyAndShowsTheHint) {
    Tools tools;
    StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
    window.show(simulators({"A"}), std::nullopt);
    auto* time = window.window()->findChild<QLineEdit*>("timeField");
    auto* hint = window.window()->findChild<QLabel*>("timeHint");
    auto* apply = window.window()->findChild<QPushButton*>("applyButton");
    struct Case {
        const char* typed;
        bool valid;
    };
    for (const Case c : {Case{"24:00", false}, Case{"", true}, Case{"14:30", true},
                         Case{"2026-10-09T09:41:00Z", true}, Case{"9:60", false}}) {
        SCOPED_TRACE(c.typed);
        time->selectAll();
        QTest::keyClick(time, Qt::Key_Backspace);
        QTest::keyClicks(time, c.typed);
        EXPECT_EQ(apply->isEnabled(), c.valid);
        EXPECT_EQ(hint->isVisibleTo(window.window()), !c.valid);
    }
    // The preview shows what was typed while it is invalid, the normalised time otherwise.
    EXPECT_EQ(window.window()->findChild<QLabel*>("previewTime")->text(), "9:60");
    time->selectAll();
    QTest::keyClicks(time, " ");
    EXPECT_EQ(window.window()->findChild<QLabel*>("previewTime")->text(), "9:41");
}

TEST(StatusBarWindowTest, PreviewFollowsTheBatteryAndNetwork) {
    struct Case {
        std::int64_t level;
        const char* symbol;
    };
    for (const Case c :
         {Case{0, "battery.0"}, Case{12, "battery.0"}, Case{13, "battery.25"}, Case{37, "battery.25"},
          Case{38, "battery.50"}, Case{62, "battery.50"}, Case{63, "battery.75"}, Case{87, "battery.75"},
          Case{88, "battery.100"}, Case{100, "battery.100"}})
        EXPECT_EQ(StatusBarView::batterySymbol(c.level), c.symbol) << c.level;

    StatusBarWindow window;
    window.show({}, std::nullopt);
    QWidget* w = window.window();
    StatusBar settings;
    settings.network = StatusBar::Network::hide;
    settings.batteryLevel = 12;
    settings.battery = StatusBar::Battery::charging;
    window.state().setSettings(settings);
    EXPECT_DOUBLE_EQ(w->findChild<QLabel*>("previewWifi")->property("opacity").toDouble(), 0.35);
    EXPECT_FALSE(w->findChild<QLabel*>("previewNetwork")->isVisibleTo(w));
    EXPECT_EQ(w->findChild<QLabel*>("previewBattery")->property("symbol").toString(), "battery.0");
    EXPECT_TRUE(w->findChild<QLabel*>("previewBolt")->isVisibleTo(w));

    settings.network = StatusBar::Network::fiveGPlus;
    settings.operatorName = "Carrier";
    window.state().setSettings(settings);
    EXPECT_EQ(w->findChild<QLabel*>("previewNetwork")->text(), "5G+");
    EXPECT_TRUE(w->findChild<QLabel*>("previewCarrier")->isVisibleTo(w));
    EXPECT_EQ(StatusBarView::networkLabel(StatusBar::Network::hide), "None");
    EXPECT_EQ(StatusBarView::batteryLabel(StatusBar::Battery::discharging), "Discharging");
}

TEST(StatusBarWindowTest, ReopeningKeepsTheFormWithTheNewListAndCleanFillsTheDefaults) {
    StatusBarWindow window;
    window.show(simulators({"A", "B"}), simulators({"B"})[0]);
    QWidget* first = window.window();
    StatusBar edited;
    edited.time = "10:10";
    edited.batteryLevel = 40;
    window.state().setSettings(edited);
    first->close();
    window.show(simulators({"C"}), std::nullopt);
    EXPECT_EQ(window.window(), first);
    EXPECT_EQ(window.state().settings(), edited);
    EXPECT_EQ(window.state().devices(), simulators({"C"}));
    EXPECT_FALSE(window.state().target());
    window.cleanPreset();
    EXPECT_EQ(window.state().settings(), StatusBar{});
    EXPECT_EQ(window.window()->windowTitle(), "Status Bar");
}
