#include "devices/core/PhysicalDeviceTools.h"

#include "devices/core/DeviceApp.h"
#include "support/FakeXcrun.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvex;
using Args = std::vector<std::string>;

namespace {

const QString kDevice = QStringLiteral("00008110-AAAA");

} // namespace

TEST(DeviceCommandsTest, LaunchPutsOptionsBeforeTheBundleAndAlwaysEndsThemWithDashes) {
    struct Case {
        const char* what;
        QStringList arguments;
        std::map<QString, QString> environment;
        bool terminateExisting;
        Args expected;
    };
    const Case cases[] = {
        {"nothing extra",
         {},
         {},
         false,
         {"devicectl", "device", "process", "launch", "--device", "00008110-AAAA", "-q", "com.example.shop",
          "--"}},
        {"arguments that look like tool options",
         {"-q", "--device", "two words"},
         {},
         false,
         {"devicectl", "device", "process", "launch", "--device", "00008110-AAAA", "-q", "com.example.shop",
          "--", "-q", "--device", "two words"}},
        {"environment sorted by key, and terminate",
         {"-UITests"},
         {{"ZED", "last"}, {"API_URL", "https://example.com/v1"}, {"Mixed", "a \"quoted\" value"}},
         true,
         {"devicectl", "device", "process", "launch", "--device", "00008110-AAAA", "-q",
          "--terminate-existing", "--environment-variables",
          R"({"API_URL":"https://example.com/v1","Mixed":"a \"quoted\" value","ZED":"last"})",
          "com.example.shop", "--", "-UITests"}},
        {"an environment that cannot be written is left out",
         {},
         {{"BAD", QString(QChar(0xD800))}},
         false,
         {"devicectl", "device", "process", "launch", "--device", "00008110-AAAA", "-q", "com.example.shop",
          "--"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeXcrun fake;
        fake.on({"devicectl", "device", "process", "launch", "**"});
        EXPECT_TRUE(
            DeviceApp::launch("com.example.shop", c.arguments, c.environment, c.terminateExisting, kDevice));
        EXPECT_EQ(fake.argumentLists(), std::vector<Args>{c.expected});
    }
}

TEST(DeviceCommandsTest, LaunchReportsTheToolsFailure) {
    test::FakeXcrun fake;
    fake.on({"devicectl", "**"}, "", 1);
    EXPECT_FALSE(DeviceApp::launch("com.example.shop", {}, {}, false, kDevice));
}

TEST(DeviceCommandsTest, OpenURLRunsOnlyForTextWithAScheme) {
    struct Case {
        QString url;
        std::optional<std::string> sent; // absent: nothing may run
    };
    const Case cases[] = {
        {"myapp:", "myapp:"},
        {"myapp://Orders/1?ref=Menu", "myapp://Orders/1?ref=Menu"}, // case of the host kept
        {"https://example.com/a b", "https://example.com/a%20b"},
        {"orders/1", std::nullopt},
        {"", std::nullopt},
        {"://missing", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        test::FakeXcrun fake;
        fake.on({"devicectl", "device", "process", "openURL", "**"});
        EXPECT_EQ(PhysicalDeviceTools::openURL(c.url, kDevice), c.sent.has_value());
        if (c.sent)
            EXPECT_EQ(fake.argumentLists(),
                      (std::vector<Args>{{"devicectl", "device", "process", "openURL", "--device",
                                          "00008110-AAAA", *c.sent, "-q"}}));
        else
            EXPECT_TRUE(fake.calls().empty());
    }
}

TEST(DeviceCommandsTest, InstallProfileAcceptsOnlyProfileExtensionsInAnyCase) {
    struct Case {
        const char* file;
        bool runs;
    };
    const Case cases[] = {
        {"/tmp/Proxy.mobileconfig", true},   {"/tmp/Proxy.MobileConfig", true},
        {"/tmp/Team.mobileprovision", true}, {"/tmp/Guide.pdf", false},
        {"/tmp/mobileconfig", false},        {"/tmp/Proxy.mobileconfig.zip", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        test::FakeXcrun fake;
        fake.on({"devicectl", "device", "profile", "install", "**"});
        EXPECT_EQ(DeviceApp::installProfile(c.file, kDevice), c.runs);
        if (c.runs)
            EXPECT_EQ(fake.argumentLists(), (std::vector<Args>{{"devicectl", "device", "profile", "install",
                                                                "--device", "00008110-AAAA", c.file, "-q"}}));
        else
            EXPECT_TRUE(fake.calls().empty());
    }
}

TEST(DeviceCommandsTest, StatusBarOverrideIsRememberedOnlyWhenAskedAndForgottenOnlyByASuccessfulClear) {
    test::FakeXcrun fake;
    fake.on({"devicectl", "device", "simulate", "statusBar", "preset", "--device", "*", "*", "-q"});
    fake.on({"devicectl", "device", "simulate", "statusBar", "clear", "--device", "good", "-q"});

    EXPECT_TRUE(
        PhysicalDeviceTools::setStatusBar(PhysicalDeviceTools::StatusBarPreset::screenshot, "temp", false));
    EXPECT_FALSE(PhysicalDeviceTools::isOverridden("temp"));

    EXPECT_TRUE(
        PhysicalDeviceTools::setStatusBar(PhysicalDeviceTools::StatusBarPreset::lowBattery, "good", true));
    EXPECT_TRUE(
        PhysicalDeviceTools::setStatusBar(PhysicalDeviceTools::StatusBarPreset::noService, "bad", true));
    EXPECT_TRUE(PhysicalDeviceTools::isOverridden("good"));

    EXPECT_FALSE(PhysicalDeviceTools::clearStatusBar("bad")); // no rule: the tool fails
    EXPECT_TRUE(PhysicalDeviceTools::isOverridden("bad"));
    EXPECT_TRUE(PhysicalDeviceTools::clearStatusBar("good"));
    EXPECT_FALSE(PhysicalDeviceTools::isOverridden("good"));

    const auto calls = fake.argumentLists();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1], (Args{"devicectl", "device", "simulate", "statusBar", "preset", "--device", "good",
                              "low-battery", "-q"}));
    {
        const std::lock_guard guard(PhysicalDeviceTools::overrideLock());
        PhysicalDeviceTools::overriddenDevices().clear();
    }
}

TEST(DeviceCommandsTest, FailedSetStatusBarIsNotRemembered) {
    test::FakeXcrun fake;
    EXPECT_FALSE(
        PhysicalDeviceTools::setStatusBar(PhysicalDeviceTools::StatusBarPreset::charging, "x", true));
    EXPECT_FALSE(PhysicalDeviceTools::isOverridden("x"));
}

TEST(DeviceCommandsTest, CopiesAndScreenshotsCountOnlyWhenTheDestinationExists) {
    const std::filesystem::path folder = std::filesystem::path(std::getenv("HOME")) / "copies";
    std::filesystem::create_directories(folder);
    test::FakeXcrun fake;
    // Exit 0 for every command, but only the screenshot "arrives".
    fake.rule({{"args", {"devicectl", "device", "capture", "screenshot", "**"}},
               {"effects", {{{"create", 7}, {"content", "png"}}}}});
    fake.on({"devicectl", "**"});

    EXPECT_TRUE(PhysicalDeviceTools::captureScreenshot(kDevice, folder / "shot.png"));
    EXPECT_FALSE(DeviceApp::copyAppData("com.example.shop", kDevice, folder / "data"));
    EXPECT_TRUE(DeviceApp::pushAppData("Documents", kDevice, "com.example.shop", folder));
    const auto calls = fake.argumentLists();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], (Args{"devicectl", "device", "copy", "from", "--device", "00008110-AAAA",
                              "--domain-type", "appDataContainer", "--domain-identifier", "com.example.shop",
                              "--source", "/", "--destination", (folder / "data").string(), "-q"}));
    EXPECT_EQ(calls[2], (Args{"devicectl", "device", "copy", "to", "--device", "00008110-AAAA",
                              "--domain-type", "appDataContainer", "--domain-identifier", "com.example.shop",
                              "--source", (folder / "Documents").string(), "--destination", "Documents",
                              "--remove-existing-content", "true", "-q"}));
}

TEST(DeviceCommandsTest, TerminateStopsOnlyTheAppsOwnProcess) {
    test::FakeXcrun fake;
    fake.on(
        {"devicectl", "device", "info", "processes", "--device", "00008110-AAAA", "--json-output", "-", "-q"},
        R"({"result":{"runningProcesses":[
                {"executable":"file:///var/B/Other.app/Other","processIdentifier":7},
                {"executable":"file:///var/B/Shop.app/Shop","processIdentifier":412}]}})");
    fake.on({"devicectl", "device", "process", "terminate", "**"});

    EXPECT_TRUE(DeviceApp::terminateRunning(
        {"com.example.shop", "Shop", std::nullopt, "file:///var/B/Shop.app/"}, kDevice));
    EXPECT_EQ(fake.argumentLists().back(), (Args{"devicectl", "device", "process", "terminate", "--device",
                                                 "00008110-AAAA", "--pid", "412", "-q"}));

    fake.clearLog();
    EXPECT_FALSE(
        DeviceApp::terminateRunning({"com.example.shop", "Shop", std::nullopt, std::nullopt}, kDevice));
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_FALSE(DeviceApp::terminateRunning(
        {"com.example.gone", "Gone", std::nullopt, "file:///var/B/Gone.app"}, kDevice));
    EXPECT_EQ(fake.argumentLists().size(), 1u); // the process list only
}

TEST(DeviceCommandsTest, ListAppsAsksForContainerAccessOnlyWhenTold) {
    test::FakeXcrun fake;
    fake.on({"devicectl", "device", "info", "apps", "**"},
            R"({"result":{"apps":[{"bundleIdentifier":"com.example.shop","name":"Shop"}]}})");
    EXPECT_EQ(DeviceApp::listApps(kDevice, true).size(), 1u);
    EXPECT_EQ(DeviceApp::listApps(kDevice, false).size(), 1u);
    EXPECT_EQ(fake.argumentLists(),
              (std::vector<Args>{{"devicectl", "device", "info", "apps", "--device", "00008110-AAAA",
                                  "--require-container-access", "--json-output", "-", "-q"},
                                 {"devicectl", "device", "info", "apps", "--device", "00008110-AAAA",
                                  "--json-output", "-", "-q"}}));
}
