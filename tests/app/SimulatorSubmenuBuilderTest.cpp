#include "app/SimulatorSubmenuBuilder.h"

#include "app/LanguageChoices.h"
#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QWidget>

#include <QComboBox>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(2000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(1000)};

SimulatorApp app(const QString& id, const QString& name, const std::vector<SimulatorDevice>& on) {
    return test::simulatorApp(id, name, on);
}

std::vector<std::string> simctl(std::initializer_list<std::string> arguments) {
    std::vector<std::string> result{"simctl"};
    result.insert(result.end(), arguments);
    return result;
}

TEST(SimulatorSubmenuBuilderTest, ListsEveryCommandWithTheSlowAnimationStateReadWhenFilled) {
    struct Case {
        const char* name;
        std::string notifyutil;
        QString slowRow;
    };
    const std::vector<Case> cases = {
        {"on", "com.apple.UIKit.SimulatorSlowMotionAnimationState 1\n", "Slow Animations ✓"},
        {"off", "com.apple.UIKit.SimulatorSlowMotionAnimationState 0\n", "Slow Animations ○"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on(simctl({"spawn", "UDID-PHONE", "notifyutil", "-g", "**"}), c.notifyutil);
        test::MenuTestWorld world;
        MenuRows rows;
        world.simulatorBuilder().fill(rows, kPhone, {kPhone, kPad});
        const QStringList lines = outline(rows);
        EXPECT_EQ(lines.mid(0, 6),
                  (QStringList{"# Tools", "Take Screenshot (Device frame · saved to Desktop · copied)",
                               "Copy Screenshot (To the clipboard · Ctrl+Alt+C in Simulator)",
                               "Screenshot Options >", "Language & Region…", "---"}));
        EXPECT_EQ(lines.mid(6),
                  (QStringList{"# Status Bar", "Customize Status Bar… (Time, network, signal, battery)",
                               "Clean Status Bar (9:41, full battery and signal)", "Reset Status Bar", "---",
                               "# Simulate", "Shake Gesture (Like shaking the device)", c.slowRow,
                               "Simulate Memory Warning", "---", "# Media",
                               "Add Sample Media (5 photos, a video, and 7 contacts)",
                               "Add Photos, Videos, or Contacts…", "---", "# Keychain",
                               "Add Root Certificate… (Trust Proxyman, Charles, or mitmproxy)",
                               "Reset Entire Keychain… (Every app’s items)"}));
        test::findRow(rows, "Customize Status Bar…")->handler();
        test::findRow(rows, "Copy Screenshot")->handler();
        EXPECT_EQ(world.neighbours.actionWindows.calls,
                  (QStringList{"status bar UDID-PHONE", "copy UDID-PHONE"}));
    }
}

// The menu waits at most 2 s for the read; the test gives the builder a shorter bound so it does
// not wait that long itself. The hung tool (20 s) is killed at the bound and the row reads as off.
TEST(SimulatorSubmenuBuilderTest, AHungSlowAnimationReadGivesUpAtItsBoundAndReadsAsOff) {
    test::MenuTestWorld world;
    EXPECT_EQ(world.simulatorBuilder().context().slowAnimationsReadTimeout, std::chrono::seconds(2));

    test::FakeXcrun fake;
    fake.rule({{"args", simctl({"spawn", "UDID-PHONE", "notifyutil", "-g", "**"})},
               {"stdout", "com.apple.UIKit.SimulatorSlowMotionAnimationState 1\n"},
               {"delay", 20}});
    MenuRows rows;
    QElapsedTimer timer;
    timer.start();
    world.simulatorBuilder(std::chrono::milliseconds(100)).fill(rows, kPhone, {kPhone});
    EXPECT_LT(timer.elapsed(), 6'000);
    EXPECT_EQ(test::findRow(rows, "Slow Animations")->checked, false);
}

TEST(SimulatorSubmenuBuilderTest, SlowAnimationToggleReportsTheNewStateOrTheFailure) {
    struct Case {
        const char* name;
        std::string current;
        int setExit;
        ToastMessage expected;
    };
    const std::vector<Case> cases = {
        {"off to on", "x 0", 0, {"Slow animations on", std::nullopt, "tortoise", false}},
        {"on to off", "x 1", 0, {"Slow animations off", std::nullopt, "tortoise", false}},
        {"the write fails", "x 0", 1, {"Didn’t work on iPhone 15 Pro", std::nullopt, "tortoise", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on(simctl({"spawn", "UDID-PHONE", "notifyutil", "-g", "**"}), c.current);
        fake.on(simctl({"spawn", "UDID-PHONE", "notifyutil", "**"}), "", c.setExit);
        test::MenuTestWorld world;
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        ASSERT_TRUE(test::finishes(world.simulatorBuilder().toggleSlowAnimations(kPhone)));
        EXPECT_EQ(test::toastsOf(toasts), std::vector<ToastMessage>{c.expected});
    }
}

// The language dialog's popups, found in the alert's accessory.
QComboBox* popup(const Alert& alert, const char* name) {
    return alert.accessory->findChild<QComboBox*>(QString::fromLatin1(name));
}

class LanguageFlow : public ::testing::Test {
protected:
    void SetUp() override {
        world.devices = {kPhone, kPad};
        // Shop runs here; Notes is installed here but not running; Maps runs only on the iPad.
        world.apps = {app("com.example.shop", "Shop", {kPhone}),
                      app("com.example.notes", "Notes", {kPhone, kPad}),
                      app("com.example.maps", "Maps", {kPad})};
        world.publish();
        fake.on(simctl({"spawn", "UDID-PHONE", "launchctl", "list"}),
                "PID\tStatus\tLabel\n"
                "1\t0\tUIKitApplication:com.example.shop[0x1][rb-legacy]\n"
                "2\t0\tUIKitApplication:com.apple.mobilesafari[0x2][rb-legacy]\n"
                "3\t0\tUIKitApplication:com.example.maps[0x3][rb-legacy]\n");
        fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "write", "**"}));
        fake.on(simctl({"terminate", "**"}));
        fake.on(simctl({"launch", "**"}));
    }

    std::vector<std::vector<std::string>> writesAndRelaunches() const {
        std::vector<std::vector<std::string>> result;
        for (const auto& arguments : fake.argumentLists())
            if (arguments.size() > 1 && (arguments[1] == "terminate" || arguments[1] == "launch" ||
                                         (arguments.size() > 4 && arguments[4] == "write")))
                result.push_back(arguments);
        return result;
    }

    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
};

TEST_F(LanguageFlow, AChangeRelaunchesExactlyTheRunningUserAppsOfThatSimulator) {
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLanguages"}),
            "(\n    \"en-US\"\n)\n");
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLocale"}), "en_US\n");
    dialogs.queueAnswer([](const Alert& alert) {
        QComboBox* language = popup(alert, "languagePopup");
        EXPECT_EQ(language->currentData().toString(), "en");
        language->setCurrentIndex(language->findData("de"));
        QComboBox* region = popup(alert, "regionPopup");
        EXPECT_EQ(region->currentData().toString(), "US");
        region->setCurrentIndex(region->findData("DE"));
        return Dialogs::kFirstButton;
    });
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(world.simulatorBuilder().chooseLanguageAndRegion(kPhone)));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Language & Region on iPhone 15 Pro");
    EXPECT_EQ(dialogs.alerts()[0].buttons, (QStringList{"Apply & Relaunch", "Cancel"}));
    const auto calls = writesAndRelaunches();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0],
              simctl({"spawn", "UDID-PHONE", "defaults", "write", "-g", "AppleLanguages", "-array", "de"}));
    EXPECT_EQ(calls[2], simctl({"terminate", "UDID-PHONE", "com.example.shop"}));
    EXPECT_EQ(calls[3], simctl({"launch", "UDID-PHONE", "com.example.shop"}));
    EXPECT_EQ(test::toastsOf(toasts),
              (std::vector<ToastMessage>{{"German, Germany", QString("iPhone 15 Pro"), "globe", false}}));
}

TEST_F(LanguageFlow, AnUnlistedCurrentLanguageIsKeptWhenOnlyTheRegionChanges) {
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLanguages"}), "(\n    pt\n)\n");
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLocale"}), "pt_PT\n");
    dialogs.queueAnswer([](const Alert& alert) {
        QComboBox* region = popup(alert, "regionPopup");
        region->setCurrentIndex(region->findData("BR"));
        return Dialogs::kFirstButton;
    });
    ASSERT_TRUE(test::finishes(world.simulatorBuilder().chooseLanguageAndRegion(kPhone)));
    const auto calls = writesAndRelaunches();
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0],
              simctl({"spawn", "UDID-PHONE", "defaults", "write", "-g", "AppleLanguages", "-array", "pt"}));
}

TEST_F(LanguageFlow, AnInvalidRegionWritesNothing) {
    // Latin American Spanish: the locale's region is "419", which no region list holds and the
    // simulator command refuses.
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLanguages"}),
            "(\n    \"es-419\"\n)\n");
    fake.on(simctl({"spawn", "UDID-PHONE", "defaults", "read", "-g", "AppleLocale"}), "es_419\n");
    dialogs.queueAnswer([](const Alert& alert) {
        EXPECT_EQ(popup(alert, "regionPopup")->currentData().toString(), "419");
        return Dialogs::kFirstButton;
    });
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(world.simulatorBuilder().chooseLanguageAndRegion(kPhone)));
    EXPECT_TRUE(writesAndRelaunches().empty());
    EXPECT_EQ(test::toastsOf(toasts),
              (std::vector<ToastMessage>{{"Couldn’t change the language", std::nullopt, "globe", true}}));
}

TEST_F(LanguageFlow, CancelChangesNothing) {
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    ASSERT_TRUE(test::finishes(world.simulatorBuilder().chooseLanguageAndRegion(kPhone)));
    EXPECT_TRUE(writesAndRelaunches().empty());
}

} // namespace
} // namespace quorvex
