#include "simulator/DeviceTools.h"

#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

using namespace quorvex;
using Args = std::vector<std::string>;
using StatusBar = DeviceTools::StatusBar;
namespace fs = std::filesystem;

namespace {

const QString kUdid = QStringLiteral("UDID-1");

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

Args statusBarValues(const StatusBar& bar) {
    Args values;
    const QStringList arguments = bar.arguments();
    for (qsizetype i = 1; i < arguments.size(); i += 2)
        values.push_back(arguments[i].toStdString());
    return values;
}

} // namespace

TEST(DeviceToolsTest, EachCommandRunsItsExactArgumentList) {
    struct Case {
        const char* name;
        std::function<bool()> run;
        std::vector<Args> expected;
    };
    StatusBar bar;
    bar.time = QStringLiteral("10:30");
    bar.network = StatusBar::Network::fiveGPlus;
    bar.wifiBars = 2;
    bar.cellularBars = 1;
    bar.operatorName = QStringLiteral("Carrier One");
    bar.batteryLevel = 42;
    bar.battery = StatusBar::Battery::discharging;
    const Case cases[] = {
        {"override status bar",
         [&] { return DeviceTools::overrideStatusBar(bar, kUdid); },
         {{"simctl",         "status_bar",  "UDID-1",         "override", "--time",         "10:30",
           "--dataNetwork",  "5g+",         "--wifiMode",     "active",   "--wifiBars",     "2",
           "--cellularMode", "active",      "--cellularBars", "1",        "--operatorName", "Carrier One",
           "--batteryState", "discharging", "--batteryLevel", "42"}}},
        {"clear status bar",
         [] { return DeviceTools::clearStatusBar(kUdid); },
         {{"simctl", "status_bar", "UDID-1", "clear"}}},
        {"shake",
         [] { return DeviceTools::shake(kUdid); },
         {{"simctl", "spawn", "UDID-1", "notifyutil", "-p", "com.apple.UIKit.SimulatorShake"}}},
        {"slow animations on",
         [] { return DeviceTools::setSlowAnimations(true, kUdid); },
         {{"simctl", "spawn", "UDID-1", "notifyutil", "-s",
           "com.apple.UIKit.SimulatorSlowMotionAnimationState", "1"},
          {"simctl", "spawn", "UDID-1", "notifyutil", "-p",
           "com.apple.UIKit.SimulatorSlowMotionAnimationState"}}},
        {"slow animations off",
         [] { return DeviceTools::setSlowAnimations(false, kUdid); },
         {{"simctl", "spawn", "UDID-1", "notifyutil", "-s",
           "com.apple.UIKit.SimulatorSlowMotionAnimationState", "0"},
          {"simctl", "spawn", "UDID-1", "notifyutil", "-p",
           "com.apple.UIKit.SimulatorSlowMotionAnimationState"}}},
        {"set appearance",
         [] { return DeviceTools::setAppearance(kUdid, QStringLiteral("dark")); },
         {{"simctl", "ui", "UDID-1", "appearance", "dark"}}},
        {"language and region",
         [] {
             return DeviceTools::setLanguageAndRegion(QStringLiteral("en-GB"), QStringLiteral("gb"), kUdid);
         },
         {{"simctl", "spawn", "UDID-1", "defaults", "write", "-g", "AppleLanguages", "-array", "en-GB"},
          {"simctl", "spawn", "UDID-1", "defaults", "write", "-g", "AppleLocale", "-string", "en_GB"}}},
        {"terminate",
         [] { return DeviceTools::terminateApp(QStringLiteral("com.example.app"), kUdid); },
         {{"simctl", "terminate", "UDID-1", "com.example.app"}}},
        {"launch",
         [] { return DeviceTools::launchApp(QStringLiteral("com.example.app"), kUdid); },
         {{"simctl", "launch", "UDID-1", "com.example.app"}}},
        {"reset keychain",
         [] { return DeviceTools::resetKeychain(kUdid); },
         {{"simctl", "keychain", "UDID-1", "reset"}}},
        {"root certificate",
         [] { return DeviceTools::addRootCertificate("/tmp/My CA.cer", kUdid); },
         {{"simctl", "keychain", "UDID-1", "add-root-cert", "/tmp/My CA.cer"}}},
        {"media in the given order",
         [] {
             return DeviceTools::addMedia({"/tmp/b.png", "/tmp/a clip.mov"}, kUdid);
         },
         {{"simctl", "addmedia", "UDID-1", "/tmp/b.png", "/tmp/a clip.mov"}}},
        {"install",
         [] { return DeviceTools::installApp("/tmp/Build/My App.app", kUdid); },
         {{"simctl", "install", "UDID-1", "/tmp/Build/My App.app"}}},
        {"install upper-case extension",
         [] { return DeviceTools::installApp("/tmp/Build/Legacy.APP", kUdid); },
         {{"simctl", "install", "UDID-1", "/tmp/Build/Legacy.APP"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on({"**"});
        EXPECT_TRUE(c.run());
        EXPECT_EQ(fake.argumentLists(), c.expected);
    }
}

TEST(DeviceToolsTest, FailingToolMakesTheCommandFail) {
    test::FakeXcrun fake;
    fake.on({"**"}, "ignored output", 1);
    EXPECT_FALSE(DeviceTools::overrideStatusBar(StatusBar{}, kUdid));
    EXPECT_FALSE(DeviceTools::clearStatusBar(kUdid));
    EXPECT_FALSE(DeviceTools::hasStatusBarOverrides(kUdid));
    EXPECT_FALSE(DeviceTools::launchApp(QStringLiteral("com.example.app"), kUdid));
    EXPECT_FALSE(DeviceTools::installApp("/tmp/A.app", kUdid));
    EXPECT_EQ(DeviceTools::appearance(kUdid), std::nullopt);
    EXPECT_EQ(DeviceTools::toggleAppearance(kUdid), std::nullopt);
}

TEST(DeviceToolsTest, RefusedInputsNeverReachTheTool) {
    struct Case {
        const char* name;
        std::function<bool()> run;
        bool expected;
    };
    auto language = [](const char* lang, const char* region) {
        return [=] {
            return DeviceTools::setLanguageAndRegion(QString::fromUtf8(lang), QString::fromUtf8(region),
                                                     kUdid);
        };
    };
    const Case cases[] = {
        {"ipa", [] { return DeviceTools::installApp("/tmp/Build/App.ipa", kUdid); }, false},
        {"folder without extension", [] { return DeviceTools::installApp("/tmp/Build/App", kUdid); }, false},
        {"appearance other than light or dark", [] { return DeviceTools::setAppearance(kUdid, "Dark"); },
         false},
        {"empty media list", [] { return DeviceTools::addMedia({}, kUdid); }, true},
        {"region of three letters", language("en", "usa"), false},
        {"region with a digit", language("en", "U1"), false},
        {"empty region", language("en", ""), false},
        {"underscore in the language", language("en_US", "US"), false},
        {"empty language", language("", "GB"), false},
        {"language of a dash only", language("-", "GB"), false},
        {"language starting with a dash", language("-en", "GB"), false},
        {"language with a space", language("en GB", "GB"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeXcrun fake;
        fake.on({"**"});
        EXPECT_EQ(c.run(), c.expected);
        EXPECT_TRUE(fake.calls().empty());
    }
}

TEST(DeviceToolsTest, StatusBarValuesAreClampedOnlyInTheArguments) {
    struct Case {
        std::int64_t wifi, cellular, battery;
        Args expected; // wifi, cellular, battery level as sent
    };
    const Case cases[] = {
        {-2, 9, 250, {"0", "4", "100"}},
        {0, 0, 0, {"0", "0", "0"}},
        {3, 4, 100, {"3", "4", "100"}},
        {4, -1, -5, {"3", "0", "0"}},
        {INT64_MIN, INT64_MAX, INT64_MIN, {"0", "4", "0"}},
    };
    for (const Case& c : cases) {
        StatusBar bar;
        bar.wifiBars = c.wifi;
        bar.cellularBars = c.cellular;
        bar.batteryLevel = c.battery;
        const Args values = statusBarValues(bar);
        ASSERT_EQ(values.size(), 9u);
        EXPECT_EQ((Args{values[3], values[5], values[8]}), c.expected) << c.wifi << " " << c.cellular;
        EXPECT_EQ(bar.wifiBars, c.wifi); // the record keeps what it was given
    }
}

TEST(DeviceToolsTest, StatusBarTimeIsNormalised) {
    struct Case {
        const char* time;
        std::optional<QString> normalized;
        const char* sent;
    };
    const Case cases[] = {
        {"  ", QStringLiteral("9:41"), "9:41"},
        {"", QStringLiteral("9:41"), "9:41"},
        {" 09:41 ", QStringLiteral("09:41"), "09:41"},
        {"\t7:05\t", QStringLiteral("7:05"), "7:05"},
        {"23:59", QStringLiteral("23:59"), "23:59"},
        {"0:00", QStringLiteral("0:00"), "0:00"},
        {"24:00", std::nullopt, "9:41"},
        {"7:5", std::nullopt, "9:41"},
        {"12:60", std::nullopt, "9:41"},
        {"09:41\n", std::nullopt, "9:41"}, // only spaces and tabs are trimmed
        {"noon", std::nullopt, "9:41"},
        {"2026-01-01T09:41:00Z", QStringLiteral("2026-01-01T09:41:00Z"), "2026-01-01T09:41:00Z"},
        {" 2026-06-30T23:15:00+02:00 ", QStringLiteral("2026-06-30T23:15:00+02:00"),
         "2026-06-30T23:15:00+02:00"},
        {"2026-02-30T09:41:00Z", std::nullopt, "9:41"},
        {"2026-01-01 09:41:00", std::nullopt, "9:41"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        StatusBar bar;
        bar.time = QString::fromUtf8(c.time);
        EXPECT_EQ(bar.normalizedTime(), c.normalized);
        EXPECT_EQ(statusBarValues(bar).front(), c.sent);
    }
}

TEST(DeviceToolsTest, RawValuesMatchExactly) {
    QStringList networks;
    for (StatusBar::Network network : StatusBar::allNetworks())
        networks.append(StatusBar::rawValue(network));
    EXPECT_EQ(networks, (QStringList{"wifi", "5g", "5g+", "lte", "4g", "3g", "hide"}));
    QStringList batteries;
    for (StatusBar::Battery battery : StatusBar::allBatteries())
        batteries.append(StatusBar::rawValue(battery));
    EXPECT_EQ(batteries, (QStringList{"charged", "charging", "discharging"}));

    EXPECT_EQ(StatusBar::networkFromRaw(QStringLiteral("5g+")), StatusBar::Network::fiveGPlus);
    EXPECT_EQ(StatusBar::networkFromRaw(QStringLiteral("LTE")), std::nullopt);
    EXPECT_EQ(StatusBar::batteryFromRaw(QStringLiteral("charging")), StatusBar::Battery::charging);
    EXPECT_EQ(StatusBar::batteryFromRaw(QStringLiteral("charging ")), std::nullopt);
}

TEST(DeviceToolsTest, OverrideListNamesAnOverrideOnlyWithARealLine) {
    struct Case {
        const char* output;
        bool expected;
    };
    const Case cases[] = {
        {"", false},
        {"Current Status Bar Overrides:\n=============================\n", false},
        {"  Current Status Bar Overrides:\n\t======\n\n   \n", false},
        {"Current Status Bar Overrides:\n======\nTime: 9:41\n", true},
        {"Current Status Bar Overrides:\n======\n  = =\n", true}, // a space inside is not "=" only
        {"\xff\xfe\n", true},                                     // invalid UTF-8 still counts as a line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(DeviceTools::parseStatusBarOverrides(QByteArray(c.output)), c.expected);
    }
    test::FakeXcrun fake;
    fake.on({"simctl", "status_bar", "UDID-1", "list"}, "Current Status Bar Overrides:\n===\nTime: 9:41\n");
    EXPECT_TRUE(DeviceTools::hasStatusBarOverrides(kUdid));
    EXPECT_EQ(fake.argumentLists(), (std::vector<Args>{{"simctl", "status_bar", "UDID-1", "list"}}));
}

TEST(DeviceToolsTest, SlowAnimationsPostOnlyAfterTheStateWasSet) {
    const std::string key = "com.apple.UIKit.SimulatorSlowMotionAnimationState";
    test::FakeXcrun fake;
    fake.on({"simctl", "spawn", "UDID-1", "notifyutil", "-s", key, "*"}, "", 1);
    fake.on({"**"});
    EXPECT_FALSE(DeviceTools::setSlowAnimations(true, kUdid));
    EXPECT_EQ(fake.argumentLists(),
              (std::vector<Args>{{"simctl", "spawn", "UDID-1", "notifyutil", "-s", key, "1"}}));

    test::FakeXcrun failingPost;
    failingPost.on({"simctl", "spawn", "UDID-1", "notifyutil", "-p", key}, "", 1);
    failingPost.on({"**"});
    EXPECT_FALSE(DeviceTools::setSlowAnimations(false, kUdid));
    EXPECT_EQ(failingPost.argumentLists().size(), 2u);
}

TEST(DeviceToolsTest, SlowAnimationsAreOnOnlyWhenTheLastWordIsOne) {
    struct Case {
        const char* output;
        int exit;
        bool expected;
    };
    const Case cases[] = {
        {"1\n", 0, true}, {"state: 1", 0, true}, {"0\n", 0, false}, {"1 0\n", 0, false},
        {"", 0, false},   {"1\n", 1, false},     {"11", 0, false},  {"\t1\t\n", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        test::FakeXcrun fake;
        fake.on({"simctl", "spawn", "UDID-1", "notifyutil", "-g",
                 "com.apple.UIKit.SimulatorSlowMotionAnimationState"},
                c.output, c.exit);
        EXPECT_EQ(DeviceTools::slowAnimations(kUdid), c.expected);
    }
}

TEST(DeviceToolsTest, AppearanceIsReadAndToggled) {
    struct Case {
        const char* current;
        int exit;
        std::optional<QString> read;
        const char* target;
    };
    const Case cases[] = {
        {"dark\n", 0, QStringLiteral("dark"), "light"},
        {"  light \n", 0, QStringLiteral("light"), "dark"},
        {"unsupported\n", 0, std::nullopt, "dark"},
        {"dark\n", 1, std::nullopt, "dark"}, // unreadable counts as not dark
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current);
        test::FakeXcrun fake;
        fake.on({"simctl", "ui", "UDID-1", "appearance"}, c.current, c.exit);
        fake.on({"simctl", "ui", "UDID-1", "appearance", "*"});
        EXPECT_EQ(DeviceTools::appearance(kUdid), c.read);
        EXPECT_EQ(DeviceTools::toggleAppearance(kUdid), QString::fromUtf8(c.target));
        EXPECT_EQ(fake.argumentLists().back(), (Args{"simctl", "ui", "UDID-1", "appearance", c.target}));
    }
}

TEST(DeviceToolsTest, LanguageAndRegionAreRead) {
    struct Case {
        const char* languages;
        int languagesExit;
        const char* locale;
        int localeExit;
        DeviceTools::LanguageAndRegion expected;
    };
    const Case cases[] = {
        {"(\n    \"en-GB\"\n)\n", 0, "en_GB\n", 0, {QStringLiteral("en-GB"), QStringLiteral("GB")}},
        {"(\n    fr,\n    en\n)\n",
         0,
         "fr_FR@calendar=gregorian\n",
         0,
         {QStringLiteral("fr"), QStringLiteral("FR")}},
        {"(\n)\n", 0, "de\n", 0, {std::nullopt, std::nullopt}},
        {"(\n    de\n)\n", 1, "de_CH", 1, {std::nullopt, std::nullopt}},
        {"(\n    \"zh-Hans\"\n)\n", 0, "zh-Hans_CN\n", 0, {QStringLiteral("zh-Hans"), QStringLiteral("CN")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.languages);
        test::FakeXcrun fake;
        fake.on({"simctl", "spawn", "UDID-1", "defaults", "read", "-g", "AppleLanguages"}, c.languages,
                c.languagesExit);
        fake.on({"simctl", "spawn", "UDID-1", "defaults", "read", "-g", "AppleLocale"}, c.locale,
                c.localeExit);
        EXPECT_EQ(DeviceTools::languageAndRegion(kUdid), c.expected);
    }
}

TEST(DeviceToolsTest, LanguageAndRegionRunBothWritesEvenWhenTheFirstFails) {
    test::FakeXcrun fake;
    fake.on({"simctl", "spawn", "UDID-1", "defaults", "write", "-g", "AppleLanguages", "**"}, "", 1);
    fake.on({"**"});
    EXPECT_FALSE(DeviceTools::setLanguageAndRegion(QStringLiteral("pt-BR"), QStringLiteral("br"), kUdid));
    EXPECT_EQ(fake.argumentLists(), (std::vector<Args>{{"simctl", "spawn", "UDID-1", "defaults", "write",
                                                        "-g", "AppleLanguages", "-array", "pt-BR"},
                                                       {"simctl", "spawn", "UDID-1", "defaults", "write",
                                                        "-g", "AppleLocale", "-string", "pt_BR"}}));
}

TEST(DeviceToolsTest, RegionCodesAreTwoLettersSortedByTheirNames) {
    const QStringList& codes = DeviceTools::regionCodes();
    ASSERT_GT(codes.size(), 200);
    EXPECT_TRUE(codes.contains(QStringLiteral("GB")));
    EXPECT_TRUE(codes.contains(QStringLiteral("DE")));
    for (const QString& code : codes)
        EXPECT_TRUE(code.size() == 2 && code[0].isLetter() && code[1].isLetter()) << code.toStdString();
    EXPECT_EQ(&DeviceTools::regionCodes(), &codes); // built once
    // By name, not by code: France before Germany; and by code points, so "Åland Islands" comes
    // after "Zimbabwe" rather than among the A's. The names are those of the test's locale.
    const QLocale::Language language = QLocale::system().language();
    if (language != QLocale::C && language != QLocale::English)
        GTEST_SKIP() << "region names are not in English here";
    EXPECT_LT(codes.indexOf(QStringLiteral("FR")), codes.indexOf(QStringLiteral("DE")));
    EXPECT_LT(codes.indexOf(QStringLiteral("ZW")), codes.indexOf(QStringLiteral("AX")));
}

class MemoryWarningTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = DeviceTools::memoryWarningFile(kUdid);
        fs::create_directories(file.parent_path());
    }
    void TearDown() override { fs::remove_all(homeDirectoryURL() / "Library"); }
    fs::path file;
};

TEST_F(MemoryWarningTest, FileLiesInTheSimulatorsRunFolder) {
    EXPECT_EQ(file,
              homeDirectoryURL() /
                  "Library/Developer/CoreSimulator/Devices/UDID-1/data/var/run/memory_warning_simulation");
}

TEST_F(MemoryWarningTest, CurrentTimeReplacesTheContent) {
    std::ofstream(file) << "an older and much longer content than the new one";
    const double before =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    ASSERT_TRUE(DeviceTools::simulateMemoryWarning(kUdid));
    const std::string text = readText(file);
    ASSERT_NE(text.find('.'), std::string::npos) << text;
    size_t used = 0;
    const double written = std::stod(text, &used);
    EXPECT_EQ(used, text.size()) << text;
    EXPECT_GE(written, before - 1);
    EXPECT_LE(written, before + 60);
}

TEST_F(MemoryWarningTest, MissingFileIsNeverCreated) {
    EXPECT_FALSE(DeviceTools::simulateMemoryWarning(kUdid));
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(MemoryWarningTest, SymbolicLinkIsRefusedAndItsTargetKept) {
    const fs::path target = homeDirectoryURL() / "precious.txt";
    std::ofstream(target) << "keep me";
    fs::create_symlink(target, file);
    EXPECT_FALSE(DeviceTools::simulateMemoryWarning(kUdid));
    EXPECT_EQ(readText(target), "keep me");
    fs::remove(target);
}

TEST_F(MemoryWarningTest, FolderInPlaceOfTheFileFails) {
    fs::create_directories(file);
    EXPECT_FALSE(DeviceTools::simulateMemoryWarning(kUdid));
}
