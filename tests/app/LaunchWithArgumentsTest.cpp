#include "app/LaunchWithArguments.h"

#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QWidget>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const PhysicalDevice kPhone{"00008110-AAAA", "Ana’s iPhone", std::nullopt, std::nullopt, {}};

void clearLaunchSettings() {
    for (const QString& key : sharedDefaults().allKeys())
        if (key.startsWith("launch."))
            sharedDefaults().remove(key);
}

TEST(LaunchWithArgumentsTest, ParsesArgumentsAndEnvironmentAsTyped) {
    struct Case {
        const char* name;
        QString arguments;
        QString environment;
        QStringList expectedArguments;
        std::map<QString, QString> expectedEnvironment;
    };
    const std::vector<Case> cases = {
        {"quoted words stay together", "-Flag \"two words\"", "", {"-Flag", "two words"}, {}},
        {"line breaks separate variables; words without a key are dropped",
         "",
         "A=1\nB=2 C =x",
         {},
         {{"A", "1"}, {"B", "2"}}},
        {"a later key wins", "", "A=1 A=2", {}, {{"A", "2"}}},
        {"a value may hold = and spaces", "", "URL=\"a=b c\" EMPTY=", {}, {{"URL", "a=b c"}, {"EMPTY", ""}}},
        {"nothing typed", "", "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LaunchWithArguments::parseArguments(c.arguments), c.expectedArguments);
        EXPECT_EQ(LaunchWithArguments::parseEnvironment(c.environment), c.expectedEnvironment);
    }
}

TEST(LaunchWithArgumentsTest, TheDetailCountsArgumentsAndVariables) {
    EXPECT_EQ(LaunchWithArguments::launchDetail(0, 0), std::nullopt);
    EXPECT_EQ(LaunchWithArguments::launchDetail(1, 0), "1 argument, 0 variables");
    EXPECT_EQ(LaunchWithArguments::launchDetail(2, 1), "2 arguments, 1 variable");
}

TEST(LaunchWithArgumentsTest, SettingsRoundTripPerAppAndDefaultToEmptyAndRestart) {
    clearLaunchSettings();
    EXPECT_EQ(LaunchWithArguments::load("com.example.new"), (LaunchWithArguments::Settings{"", "", true}));
    EXPECT_EQ(LaunchWithArguments::lastApp(), std::nullopt);
    const LaunchWithArguments::Settings typed{"-Flag \"a b\"", "A=1\nB=2", false};
    LaunchWithArguments::save("com.example.shop", typed);
    EXPECT_EQ(LaunchWithArguments::load("com.example.shop"), typed);
    EXPECT_EQ(LaunchWithArguments::lastApp(), "com.example.shop");
    // Something else than a Boolean under the restart key reads as on.
    sharedDefaults().setValue("launch.com.example.shop.restart", "no");
    EXPECT_TRUE(LaunchWithArguments::load("com.example.shop").restart);
    clearLaunchSettings();
}

class LaunchFlow : public ::testing::Test {
protected:
    void SetUp() override {
        clearLaunchSettings();
        fake.on({"devicectl", "device", "info", "apps", "**"},
                R"({"result":{"apps":[{"bundleIdentifier":"com.example.shop","name":"Shop"},)"
                R"({"bundleIdentifier":"com.example.notes","name":"Notes"}]}})");
    }
    void TearDown() override { clearLaunchSettings(); }

    std::vector<std::vector<std::string>> launches() const {
        std::vector<std::vector<std::string>> result;
        for (const auto& arguments : fake.argumentLists())
            if (arguments.size() > 2 && arguments[2] == "process")
                result.push_back(arguments);
        return result;
    }

    static QWidget& accessory(const Alert& alert) { return *alert.accessory; }
    template <typename T> static T* control(const Alert& alert, const char* name) {
        return accessory(alert).findChild<T*>(QString::fromLatin1(name));
    }

    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
};

TEST_F(LaunchFlow, LaunchesTheChosenAppWithTheArgumentListAsTypedAndRemembersIt) {
    fake.on({"devicectl", "device", "process", "launch", "**"});
    LaunchWithArguments::save("com.example.notes", {"-Saved", "", false});
    dialogs.queueAnswer([](const Alert& alert) {
        auto* app = control<QComboBox>(alert, "launchApp");
        // The last app launched is preselected, with its own texts and choice.
        EXPECT_EQ(app->currentData().toString(), "com.example.notes");
        EXPECT_EQ(control<QLineEdit>(alert, "launchArguments")->text(), "-Saved");
        EXPECT_FALSE(control<QCheckBox>(alert, "launchRestart")->isChecked());
        // Another app brings back that app's values: never launched, so empty and on.
        app->setCurrentIndex(app->findData("com.example.shop"));
        EXPECT_EQ(control<QLineEdit>(alert, "launchArguments")->text(), "");
        EXPECT_TRUE(control<QCheckBox>(alert, "launchRestart")->isChecked());
        control<QLineEdit>(alert, "launchArguments")->setText("-Flag \"two words\"");
        control<QLineEdit>(alert, "launchEnvironment")->setText("API_ENV=staging");
        return Dialogs::kFirstButton;
    });
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(LaunchWithArguments::launchWithArguments(kPhone)));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Launch an app on Ana’s iPhone");
    EXPECT_EQ(launches(), (std::vector<std::vector<std::string>>{
                              {"devicectl", "device", "process", "launch", "--device", "00008110-AAAA", "-q",
                               "--terminate-existing", "--environment-variables", R"({"API_ENV":"staging"})",
                               "com.example.shop", "--", "-Flag", "two words"}}));
    EXPECT_EQ(test::toastsOf(toasts),
              (std::vector<ToastMessage>{
                  {"Launched Shop", QString("2 arguments, 1 variable"), "play.fill", false}}));
    EXPECT_EQ(LaunchWithArguments::lastApp(), "com.example.shop");
    EXPECT_EQ(LaunchWithArguments::load("com.example.shop"),
              (LaunchWithArguments::Settings{"-Flag \"two words\"", "API_ENV=staging", true}));
}

TEST_F(LaunchFlow, AFailedLaunchAsksWhetherTheDeviceIsUnlockedAndKeepsTheTexts) {
    fake.on({"devicectl", "device", "process", "launch", "**"}, "", 1);
    dialogs.queueAnswer([](const Alert& alert) {
        control<QLineEdit>(alert, "launchArguments")->setText("-A");
        return Dialogs::kFirstButton;
    });
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(LaunchWithArguments::launchWithArguments(kPhone)));
    EXPECT_EQ(test::toastsOf(toasts),
              (std::vector<ToastMessage>{
                  {"Couldn’t launch Notes", QString("Is Ana’s iPhone unlocked?"), "play.fill", true}}));
    EXPECT_EQ(LaunchWithArguments::load("com.example.notes").arguments, "-A");
}

TEST_F(LaunchFlow, CancelSavesAndLaunchesNothing) {
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    ASSERT_TRUE(test::finishes(LaunchWithArguments::launchWithArguments(kPhone)));
    EXPECT_TRUE(launches().empty());
    EXPECT_EQ(LaunchWithArguments::lastApp(), std::nullopt);
}

TEST(LaunchWithArgumentsTest, ADeviceWithoutAppsSaysSoWithoutADialog) {
    test::FakeXcrun fake; // the listing fails: no apps
    test::FakeDialogs dialogs;
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(LaunchWithArguments::launchWithArguments(kPhone)));
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(
        test::toastsOf(toasts),
        (std::vector<ToastMessage>{
            {"No apps to launch", QString("Apps you run from Xcode show up here."), "play.fill", true}}));
}

} // namespace
} // namespace quorvex
