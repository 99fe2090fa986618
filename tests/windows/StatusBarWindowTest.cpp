#include "windows/StatusBarWindow.h"

#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/KeyboardAudit.h"
#include "support/ToastLog.h"
#include "windows/StatusBarView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <functional>
#include <mutex>
#include <numeric>
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

TEST(StatusBarWindowTest, ClosingTheProgramKillsARunningOverrideInsteadOfWaitingForIt) {
    test::FakeXcrun fake;
    // simctl that hangs: the override never ends by itself.
    fake.rule({{"args", {"simctl", "status_bar", "**"}}, {"delay", 300}});
    auto window = std::make_unique<StatusBarWindow>();
    window->show(simulators({"A", "B"}), std::nullopt);
    window->apply();
    window->reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.argumentLists().empty(); }, 10'000));
    QElapsedTimer closing;
    closing.start();
    window.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_EQ(fake.argumentLists().size(), 1u) << "the queued runs never start";
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

// What the preview draws, read back from its pixels.
class StatusBarPreviewTest : public ::testing::Test {
protected:
    void SetUp() override { m_window.show({}, std::nullopt); }

    void set(const std::function<void(StatusBar&)>& change) {
        StatusBar settings = m_window.state().settings();
        change(settings);
        m_window.state().setSettings(settings);
    }
    // The widget's own drawing on a transparent ground, at one pixel per point.
    static QImage drawn(QWidget* widget) {
        QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        widget->render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    }
    // How opaque each part of a signal symbol is drawn, 0 to 255: the four bars left to right, or
    // the Wi-Fi dot and its two arcs from the inside out.
    std::vector<int> parts(const char* name) {
        auto* bars = m_window.window()->findChild<QWidget*>(name);
        const QImage image = drawn(bars);
        const std::vector<QPoint> points = QByteArray(name) == "previewCellular"
                                               ? std::vector<QPoint>{{2, 12}, {6, 12}, {11, 12}, {15, 12}}
                                               : std::vector<QPoint>{{9, 12}, {9, 8}, {9, 3}};
        std::vector<int> alpha;
        for (const QPoint& point : points)
            alpha.push_back(qAlpha(image.pixel(point)));
        return alpha;
    }
    static int lit(const std::vector<int>& alpha) {
        return int(std::count_if(alpha.begin(), alpha.end(), [](int a) { return a > 200; }));
    }
    static int dim(const std::vector<int>& alpha) {
        return int(std::count_if(alpha.begin(), alpha.end(), [](int a) { return a > 30 && a < 100; }));
    }

    test::FakeClock m_clock;
    StatusBarWindow m_window{&DeviceTools::overrideStatusBar, &DeviceTools::clearStatusBar, m_clock};
};

TEST_F(StatusBarPreviewTest, CellularAndWifiBarsAreFilledToTheirCount) {
    for (int bars = 0; bars <= 4; ++bars) {
        SCOPED_TRACE(bars);
        set([&](StatusBar& s) { s.cellularBars = bars; });
        m_clock.advance(2.0);
        const auto alpha = parts("previewCellular");
        EXPECT_EQ(lit(alpha), bars);
        EXPECT_EQ(dim(alpha), 4 - bars) << "the rest is drawn, dimmed";
        for (int i = 0; i < bars; ++i)
            EXPECT_GT(alpha[size_t(i)], 200) << "from the left";
    }
    for (int bars = 0; bars <= 3; ++bars) {
        SCOPED_TRACE(bars);
        set([&](StatusBar& s) { s.wifiBars = bars; });
        m_clock.advance(2.0);
        const auto alpha = parts("previewWifi");
        EXPECT_EQ(lit(alpha), bars);
        EXPECT_EQ(dim(alpha), 3 - bars);
    }
}

TEST_F(StatusBarPreviewTest, AChangeMovesAlongTheSpring) {
    const auto total = [this] {
        const auto alpha = parts("previewCellular");
        return std::accumulate(alpha.begin(), alpha.end(), 0);
    };
    set([](StatusBar& s) { s.cellularBars = 0; });
    m_clock.advance(2.0);
    const int empty = total();
    set([](StatusBar& s) { s.cellularBars = 4; });
    const int start = total();
    m_clock.advance(0.1);
    const int early = total();
    m_clock.advance(0.1);
    const int later = total();
    m_clock.advance(2.0);
    const int settled = total();
    EXPECT_EQ(start, empty) << "nothing jumps at the change";
    EXPECT_LT(start, early);
    EXPECT_LT(early, later);
    EXPECT_LT(later, settled);
    EXPECT_EQ(lit(parts("previewCellular")), 4);
}

TEST_F(StatusBarPreviewTest, WifiDimsOffWifiAndTheBatteryAndLabelsFollow) {
    set([](StatusBar& s) { s.network = StatusBar::Network::wifi; });
    m_clock.advance(2.0);
    const int full = parts("previewWifi")[2];
    set([](StatusBar& s) {
        s.network = StatusBar::Network::hide;
        s.batteryLevel = 12;
        s.battery = StatusBar::Battery::charging;
    });
    m_clock.advance(2.0);
    EXPECT_NEAR(parts("previewWifi")[2], full * 0.35, 3);
    QWidget* w = m_window.window();
    EXPECT_FALSE(w->findChild<QLabel*>("previewNetwork")->isVisibleTo(w));
    EXPECT_TRUE(w->findChild<QLabel*>("previewBolt")->isVisibleTo(w));

    // The battery is filled by the level's step: nothing up to 12 %, a quarter from 13, all from 88.
    const auto filled = [w] {
        const QImage image = w->findChild<QLabel*>("previewBattery")->pixmap().toImage();
        int columns = 0;
        for (int x = 0; x < image.width(); ++x)
            columns += qAlpha(image.pixel(x, image.height() / 2)) > 200;
        return columns;
    };
    const int empty = filled(); // the outline and the tip only
    struct Case {
        std::int64_t level;
        double fill;
    };
    for (const Case c : {Case{13, 0.25}, Case{37, 0.25}, Case{38, 0.5}, Case{63, 0.75}, Case{88, 1.0}}) {
        SCOPED_TRACE(c.level);
        set([&](StatusBar& s) { s.batteryLevel = c.level; });
        EXPECT_NEAR(filled() - empty, 2 * 19 * c.fill, 2); // drawn at twice the size
    }
    for (const Case c : {Case{0, 0}, Case{12, 0}, Case{13, 25}, Case{62, 50}, Case{87, 75}, Case{100, 100}})
        EXPECT_EQ(StatusBarView::batterySymbol(c.level), "battery." + QString::number(int(c.fill)))
            << c.level;

    set([](StatusBar& s) {
        s.network = StatusBar::Network::fiveGPlus;
        s.operatorName = "Carrier";
    });
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

TEST(StatusBarWindowTest, TabReachesEveryControlInReadingOrderAndFocusShows) {
    Tools tools;
    StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
    window.show(simulators({"A", "B"}), std::nullopt);
    ASSERT_TRUE(test::showActive(window.window()));
    auto* start = window.window()->findChild<QWidget*>("simulatorPicker");
    const std::vector<QWidget*> walked = test::walkTabOrder(start);
    EXPECT_EQ(test::objectNames(walked),
              (QStringList{"simulatorPicker", "timeField", "networkPicker", "wifiBars", "cellularBars",
                           "carrierField", "batteryPicker", "batterySlider", "cleanButton", "resetButton",
                           "applyButton"}));
    QStringList stops = test::objectNames(test::tabStops(window.window()));
    QStringList seen = test::objectNames(walked);
    stops.sort();
    seen.sort();
    EXPECT_EQ(seen, stops);
    for (QWidget* stop : test::tabStops(window.window()))
        EXPECT_TRUE(test::focusIsVisible(stop)) << stop->objectName().toStdString();
}

// A focused Clean or Reset button answers Return itself; a field, a picker, a stepper or the slider
// hands it to Apply. Nothing closes the window.
TEST(StatusBarWindowTest, KeysDoWhatTheFocusedControlSays) {
    struct Case {
        const char* focus;
        Qt::Key key;
        QStringList calls; // before the Reset the test clicks to end the queue
        QString timeAfter;
    };
    const Case cases[] = {
        {"timeField", Qt::Key_Return, {"override udid-A 10:00"}, "10:00"},
        {"simulatorPicker", Qt::Key_Return, {"override udid-A 10:00"}, "10:00"},
        {"wifiBars", Qt::Key_Return, {"override udid-A 10:00"}, "10:00"},
        {"batterySlider", Qt::Key_Return, {"override udid-A 10:00"}, "10:00"},
        {"applyButton", Qt::Key_Return, {"override udid-A 10:00"}, "10:00"},
        {"applyButton", Qt::Key_Space, {"override udid-A 10:00"}, "10:00"},
        {"cleanButton", Qt::Key_Return, {}, "9:41"},
        {"cleanButton", Qt::Key_Space, {}, "9:41"},
        {"resetButton", Qt::Key_Return, {"clear udid-A"}, "10:00"},
        {"resetButton", Qt::Key_Space, {"clear udid-A"}, "10:00"},
        {"timeField", Qt::Key_Escape, {}, "10:00"},
        {"applyButton", Qt::Key_Escape, {}, "10:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        Tools tools;
        StatusBarWindow window(tools.overrideStatusBar(), tools.clearStatusBar());
        window.show(simulators({"A"}), std::nullopt);
        StatusBar settings = window.state().settings();
        settings.time = "10:00";
        window.state().setSettings(settings);
        ASSERT_TRUE(test::showActive(window.window()));
        auto* focus = window.window()->findChild<QWidget*>(c.focus);
        ASSERT_NE(focus, nullptr);
        focus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focus, c.key);
        EXPECT_EQ(window.state().settings().time, c.timeAfter);
        EXPECT_TRUE(window.window()->isVisible());
        // Runs go in click order: once this Reset has run, whatever the key started has too.
        const int runs = int(c.calls.size()) + 1;
        window.reset();
        waitForRuns(window, runs);
        EXPECT_EQ(tools.calls, c.calls + QStringList{"clear udid-A"});
    }
}

TEST(StatusBarWindowTest, EveryControlIsNamedAndThePreviewReadsOutWhatItShows) {
    test::FakeClock clock;
    StatusBarWindow window(&DeviceTools::overrideStatusBar, &DeviceTools::clearStatusBar, clock);
    window.show(simulators({"A"}), std::nullopt);
    window.window()->show();
    EXPECT_EQ(test::describe(test::accessibilityProblems(window.window())), QString());
    const auto named = [&](const char* name) {
        return test::accessibleName(window.window()->findChild<QWidget*>(name));
    };
    EXPECT_EQ(test::labelOf(window.window()->findChild<QWidget*>("simulatorPicker")), "Simulator");
    EXPECT_EQ(test::labelOf(window.window()->findChild<QWidget*>("networkPicker")), "Network");
    EXPECT_EQ(named("timeField"), "Time");
    EXPECT_EQ(named("wifiBars"), "Wi-Fi bars");
    EXPECT_EQ(named("cellularBars"), "Cellular bars");
    EXPECT_EQ(named("batterySlider"), "Battery level");

    auto* preview = window.window()->findChild<QWidget*>("preview");
    const auto description = [preview] {
        return QAccessible::queryAccessibleInterface(preview)->text(QAccessible::Description);
    };
    EXPECT_EQ(test::accessibleName(preview), "Preview");
    EXPECT_EQ(description(), "9:41, cellular 4 of 4 bars, Wi-Fi 3 of 3 bars, battery 100%, charged");

    StatusBar settings = window.state().settings();
    settings.time = "14:30";
    settings.network = StatusBar::Network::lte;
    settings.operatorName = "Carrier";
    settings.cellularBars = 2;
    settings.wifiBars = 0;
    settings.batteryLevel = 55;
    settings.battery = StatusBar::Battery::charging;
    window.state().setSettings(settings);
    EXPECT_EQ(description(), "14:30, Carrier, LTE, cellular 2 of 4 bars, Wi-Fi 0 of 3 bars, battery 55%, "
                             "charging");
    EXPECT_EQ(test::accessibleValue(window.window()->findChild<QWidget*>("batterySlider")), "55");
    EXPECT_EQ(test::accessibleValue(window.window()->findChild<QWidget*>("cellularBars")), "2");
}
