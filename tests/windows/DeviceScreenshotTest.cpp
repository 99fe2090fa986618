#include "windows/DeviceScreenshot.h"

#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/RecordingWorkspace.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"
#include "windows/ChromeFixture.h"
#include "windows/ScreenshotSettings.h"
#include "windows/ScreenshotThumbnail.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace quorvex {
namespace {

QImage picture(QColor colour) {
    QImage image(30, 60, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Scripted outside steps that log what ran, in order.
struct ScreenshotFixture : ::testing::Test {
    QTemporaryDir folder;
    test::FakeClock clock;
    test::FakeClipboard clipboard;
    test::ToastLog toasts;
    std::mutex lock;
    QStringList steps;
    std::optional<bool> simulatorOverridden = false;
    bool deviceOverridden = false;
    std::optional<ScreenCapture> shot = ScreenCapture{picture(Qt::white), std::nullopt};
    std::vector<std::filesystem::path> thumbnails;
    std::unique_ptr<DeviceScreenshot> screenshot;

    void log(const QString& step) {
        std::lock_guard guard(lock);
        steps << step;
    }
    QStringList logged() {
        std::lock_guard guard(lock);
        return steps;
    }

    void SetUp() override {
        sharedDefaults().setValue(ScreenshotSettings::kFolderKey, folder.filePath("shots"));
        for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                                   ScreenshotSettings::kCopyKey})
            sharedDefaults().remove(key);
        DeviceScreenshot::Tools tools;
        tools.simulatorHasOverride = [this](const QString&) {
            log("check");
            return simulatorOverridden;
        };
        tools.overrideSimulator = [this](const QString&) {
            log("override");
            return true;
        };
        tools.clearSimulator = [this](const QString&) {
            log("clear");
            return true;
        };
        tools.deviceHasOverride = [this](const QString&) { return deviceOverridden; };
        tools.overrideDevice = [this](const QString&) {
            log("override device");
            return true;
        };
        tools.clearDevice = [this](const QString&) {
            log("clear device");
            return true;
        };
        tools.captureSimulator = [this](const QString&) {
            log("capture");
            return shot;
        };
        tools.captureDevice = [this](const PhysicalDevice&) {
            log("capture device");
            return shot;
        };
        tools.framedImage = [](const QImage&, const DeviceScreen&) {
            return std::optional<QByteArray>("framed");
        };
        tools.showThumbnail = [this](const std::filesystem::path& file) { thumbnails.push_back(file); };
        screenshot = std::make_unique<DeviceScreenshot>(clock, clipboard, tools);
    }

    // Runs one request to its report, moving the fake clock through the redraw pause.
    void take(const QString& name, bool copy, const std::optional<PhysicalDevice>& device = std::nullopt) {
        const QFuture<void> done = screenshot->screenshot("U1", name, device, copy);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                clock.advance(0.1);
                return done.isFinished();
            },
            5000));
    }
    QStringList files() { return QDir(folder.filePath("shots")).entryList(QDir::Files, QDir::Name); }
};

TEST_F(ScreenshotFixture, ACleanStatusBarIsAppliedForTheCaptureAndClearedAfterwards) {
    const QFuture<void> done = screenshot->screenshot("U1", "iPhone 15", std::nullopt, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged().size() == 2; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(logged(), (QStringList{"check", "override"})) << "waits for the redraw";
    clock.advance(DeviceScreenshot::kSimulatorRedraw);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 5000));
    EXPECT_EQ(logged(), (QStringList{"check", "override", "capture", "clear"}));
    ASSERT_EQ(files().size(), 1);
    EXPECT_TRUE(files()[0].startsWith("Screenshot iPhone 15 "));
    ASSERT_EQ(thumbnails.size(), 1u);
    EXPECT_EQ(toasts.titles(), QStringList{"Saved without a device frame"});
    EXPECT_FALSE(clipboard.image().isNull()) << "screenshot.copy is on by default";

    // A failed capture still clears.
    steps.clear();
    shot.reset();
    take("iPhone 15", false);
    EXPECT_EQ(logged(), (QStringList{"check", "override", "capture", "clear"}));
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Couldn’t take the screenshot", std::nullopt, "camera", true}));
}

TEST_F(ScreenshotFixture, TheUsersOwnOverrideOrAnUnknownOneIsLeftAlone) {
    for (const std::optional<bool> state : {std::optional<bool>(true), std::optional<bool>()}) {
        SCOPED_TRACE(state ? "overridden" : "listing failed");
        steps.clear();
        simulatorOverridden = state;
        take("iPhone 15", true);
        EXPECT_EQ(logged(), (QStringList{"check", "capture"}));
    }
    EXPECT_EQ(
        toasts.messages().back(),
        (ToastMessage{"Screenshot copied", "iPhone 15, without a device frame", "doc.on.clipboard", false}));
    EXPECT_FALSE(clipboard.png().isEmpty());
    EXPECT_TRUE(files().isEmpty()) << "copying writes no file";
    EXPECT_TRUE(thumbnails.empty());
}

TEST_F(ScreenshotFixture, AConnectedDeviceIsOverriddenOnlyWithTheCapability) {
    PhysicalDevice phone{"P1", "Work iPhone", std::nullopt, std::nullopt, {}};
    take("Work iPhone", true, phone);
    EXPECT_EQ(logged(), QStringList{"capture device"});

    steps.clear();
    phone.capabilities.insert(DeviceScreenshot::kStatusBarCapability);
    take("Work iPhone", true, phone);
    EXPECT_EQ(logged(), (QStringList{"override device", "capture device", "clear device"}));

    steps.clear();
    shot.reset();
    take("Work iPhone", false, phone);
    EXPECT_EQ(toasts.messages().back().detail, "Is Work iPhone unlocked and connected?");
}

TEST_F(ScreenshotFixture, FramedScreenOffAndUnwritableFolderOutcomes) {
    shot = ScreenCapture{picture(Qt::white), DeviceScreen{}};
    take("iPhone 15", true);
    EXPECT_EQ(clipboard.png(), "framed");
    EXPECT_EQ(toasts.messages().back().detail, "iPhone 15");

    shot = ScreenCapture{picture(QColor(2, 3, 1)), std::nullopt};
    take("iPhone 15", false);
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"The screen is off", "Wake the device, then take the screenshot again.", "camera",
                            true}));
    EXPECT_TRUE(files().isEmpty());

    shot = ScreenCapture{picture(Qt::white), std::nullopt};
    QFile blocker(folder.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    sharedDefaults().setValue(ScreenshotSettings::kFolderKey, folder.filePath("blocked/shots"));
    take("iPhone 15", false);
    EXPECT_EQ(toasts.titles().back(), "Couldn’t save the screenshot");
}

TEST_F(ScreenshotFixture, TwoScreenshotsInOneSecondKeepBothFiles) {
    sharedDefaults().setValue(ScreenshotSettings::kCleanStatusBarKey, false);
    const QFuture<void> first = screenshot->screenshot("U1", "iPhone 15", std::nullopt, false);
    const QFuture<void> second = screenshot->screenshot("U1", "iPhone 15", std::nullopt, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isFinished() && second.isFinished(); }, 5000));
    EXPECT_EQ(files().size(), 2);
    EXPECT_EQ(thumbnails.size(), 2u);
    EXPECT_NE(thumbnails[0], thumbnails[1]);
}

// The same flow with the real tools, against the fake simctl: a simulator of a known device type
// whose screenshot is a 300 x 600 picture, framed by a chrome 10 points wide at 3x.
class SimulatorScreenshotTest : public ::testing::Test {
protected:
    static constexpr const char* kUdid = "UDID-PHONE";

    void SetUp() override {
        DeviceScreen::forgetDeviceTypes();
        for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                                   ScreenshotSettings::kCopyKey})
            sharedDefaults().remove(key);
        sharedDefaults().setValue(ScreenshotSettings::kFolderKey, m_dir.filePath("Shots"));
        const auto type = m_chrome.addFramedPhone();
        m_fake.on(
            {"simctl", "list", "devices", "-j"},
            nlohmann::json{{"devices", {{"rt", {{{"udid", kUdid}, {"deviceTypeIdentifier", "type.phone"}}}}}}}
                .dump());
        m_fake.on(
            {"simctl", "list", "devicetypes", "-j"},
            nlohmann::json{{"devicetypes", {{{"identifier", "type.phone"}, {"bundlePath", type.string()}}}}}
                .dump());
        const auto source = std::filesystem::path(m_dir.path().toStdString()) / "screen.png";
        test::ChromeFixture::writePng(source, {300, 600}, Qt::green);
        m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=Phone", "*"}},
                     {"effects", {{{"copy", {source.string(), 5}}}}}});
    }
    void TearDown() override {
        DeviceScreen::forgetDeviceTypes();
        for (const QString& key : {ScreenshotSettings::kFolderKey, ScreenshotSettings::kFrameKey})
            sharedDefaults().remove(key);
    }
    // What `status_bar list` says; the override and clear succeed.
    void statusBar(const std::string& listing) {
        m_fake.on({"simctl", "status_bar", kUdid, "list"}, listing);
        m_fake.on({"simctl", "status_bar", kUdid, "override", "**"});
        m_fake.on({"simctl", "status_bar", kUdid, "clear"});
    }
    void take(bool copy) {
        const QFuture<void> done = m_screenshot.screenshot(kUdid, "iPhone 15 Pro", std::nullopt, copy);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                m_clock.advance(0.1);
                return done.isFinished();
            },
            10'000));
    }
    std::vector<std::string> statusBarCalls() const {
        std::vector<std::string> verbs;
        for (const auto& args : m_fake.argumentLists())
            if (args.size() > 3 && args[1] == "status_bar")
                verbs.push_back(args[3]);
        return verbs;
    }
    QStringList files() { return QDir(m_dir.filePath("Shots")).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    test::ChromeFixture m_chrome{m_dir.path().toStdString()};
    test::FakeXcrun m_fake;
    test::FakeClipboard m_clipboard;
    test::FakeClock m_clock;
    test::RecordingWorkspace m_workspace;
    test::ToastLog m_toasts;
    ScreenshotThumbnail m_thumbnail{m_clock, m_workspace};
    DeviceScreenshot m_screenshot{m_clock, m_clipboard, DeviceScreenshot::systemTools(m_thumbnail)};
};

TEST_F(SimulatorScreenshotTest, ASavedShotIsFramedCopiedAndShownWithTheStatusBarClearedAfter) {
    statusBar("");
    take(false);
    ASSERT_EQ(files().size(), 1);
    EXPECT_TRUE(files()[0].startsWith("Screenshot iPhone 15 Pro "));
    EXPECT_EQ(QImage(m_dir.filePath("Shots/" + files()[0])).size(), QSize(360, 660));
    EXPECT_EQ(m_clipboard.image().size(), QSize(360, 660));
    ASSERT_TRUE(m_thumbnail.file());
    EXPECT_EQ(m_thumbnail.file()->filename().string(), files()[0].toStdString());
    EXPECT_TRUE(m_toasts.messages().empty());
    EXPECT_EQ(statusBarCalls(), (std::vector<std::string>{"list", "override", "clear"}));
}

TEST_F(SimulatorScreenshotTest, AnOverrideTheUserSetIsNeitherReplacedNorCleared) {
    statusBar("Current Status Bar Overrides:\n=============================\nTime: 10:10\n");
    take(true);
    EXPECT_EQ(statusBarCalls(), (std::vector<std::string>{"list"}));
    EXPECT_EQ(QImage::fromData(m_clipboard.png(), "PNG").size(), QSize(360, 660));
}

TEST_F(SimulatorScreenshotTest, WithoutAFrameForTheDeviceTheShotIsSavedPlainAndSaysSo) {
    m_fake.clearRules();
    statusBar("");
    m_fake.on({"simctl", "list", "devices", "-j"}, "{}"); // unknown device type: captured as "primary"
    const auto source = std::filesystem::path(m_dir.path().toStdString()) / "primary.png";
    test::ChromeFixture::writePng(source, {300, 600}, Qt::green);
    m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=primary", "*"}},
                 {"effects", {{{"copy", {source.string(), 5}}}}}});
    take(false);
    ASSERT_EQ(files().size(), 1);
    EXPECT_EQ(QImage(m_dir.filePath("Shots/" + files()[0])).size(), QSize(300, 600));
    ASSERT_EQ(m_toasts.messages().size(), 1u);
    EXPECT_EQ(m_toasts.messages()[0],
              (ToastMessage{"Saved without a device frame", QString("Xcode has no frame for iPhone 15 Pro."),
                            "camera", false}));
    // With framing switched off nothing is said about the frame.
    sharedDefaults().setValue(ScreenshotSettings::kFrameKey, false);
    take(false);
    EXPECT_EQ(m_toasts.messages().size(), 1u);
}

} // namespace
} // namespace quorvex
