#include "windows/ScreenshotFlow.h"

#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/RecordingWorkspace.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"
#include "windows/ChromeFixture.h"
#include "windows/DeviceScreen.h"
#include "windows/ScreenshotThumbnail.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace quorvex;
using nlohmann::json;

namespace {

constexpr const char* kUdid = "UDID-PHONE";

// A simulator of a known device type whose screenshot is a 300 x 600 picture, framed by a chrome
// 10 points wide at 3x.
class ScreenshotFlowFixture : public ::testing::Test {
public:
    void SetUp() override {
        DeviceScreen::forgetDeviceTypes();
        m_folder = std::filesystem::path(m_dir.path().toStdString()) / "Shots";
        m_fixture.addChrome(
            "phone",
            json{{"images",
                  {{"sizing",
                    {{"leftWidth", 10}, {"rightWidth", 10}, {"topHeight", 10}, {"bottomHeight", 10}}},
                   {"composite", "body"}}}},
            {{"body", {50, 50}, Qt::darkGray}});
        const auto type =
            m_fixture.addDeviceType("Phone", {test::ChromeFixture::display("Phone", 300, 600, "x.phone")});
        m_fake.on(
            {"simctl", "list", "devices", "-j"},
            json{{"devices", {{"rt", {{{"udid", kUdid}, {"deviceTypeIdentifier", "type.phone"}}}}}}}.dump());
        m_fake.on(
            {"simctl", "list", "devicetypes", "-j"},
            json{{"devicetypes", {{{"identifier", "type.phone"}, {"bundlePath", type.string()}}}}}.dump());
        screen(Qt::green);
        m_flow.setSettleSeconds(0);
    }
    void TearDown() override { DeviceScreen::forgetDeviceTypes(); }

    void screen(QColor colour) {
        const auto source = std::filesystem::path(m_dir.path().toStdString()) / "screen.png";
        test::ChromeFixture::writePng(source, {300, 600}, colour);
        m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=Phone", "*"}},
                     {"effects", {{{"copy", {source.string(), 5}}}}}});
    }
    // What `status_bar list` says; the override and clear succeed.
    void statusBar(const std::string& listing) {
        m_fake.on({"simctl", "status_bar", kUdid, "list"}, listing);
        m_fake.on({"simctl", "status_bar", kUdid, "override", "**"});
        m_fake.on({"simctl", "status_bar", kUdid, "clear"});
    }
    ScreenshotFlow::Request request(bool copyOnly, bool frame = true) const {
        ScreenshotFlow::Request r;
        r.udid = kUdid;
        r.deviceName = "iPhone 15 Pro";
        r.copyOnly = copyOnly;
        r.frame = frame;
        r.folder = m_folder;
        r.date = QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7));
        return r;
    }
    ScreenshotFlow::Outcome take(const ScreenshotFlow::Request& r) {
        QSignalSpy finished(&m_flow, &ScreenshotFlow::finished);
        m_flow.start(r);
        EXPECT_TRUE(finished.wait(5000));
        return finished.isEmpty() ? ScreenshotFlow::Outcome{}
                                  : finished.at(0).at(0).value<ScreenshotFlow::Outcome>();
    }
    std::vector<std::string> statusBarCalls() const {
        std::vector<std::string> verbs;
        for (const auto& args : m_fake.argumentLists())
            if (args.size() > 3 && args[1] == "status_bar")
                verbs.push_back(args[3]);
        return verbs;
    }

    QTemporaryDir m_dir;
    test::ChromeFixture m_fixture{m_dir.path().toStdString()};
    test::FakeXcrun m_fake;
    test::FakeClipboard m_clipboard;
    test::FakeClock m_clock;
    test::RecordingWorkspace m_workspace;
    ScreenshotThumbnail m_thumbnail{m_clock, m_workspace};
    ScreenshotFlow m_flow{m_clipboard, m_thumbnail};
    std::filesystem::path m_folder;
};

} // namespace

TEST_F(ScreenshotFlowFixture, SavedShotIsFramedNamedCopiedAndShownWithAClearedStatusBar) {
    statusBar("");
    test::ToastLog toasts;
    const auto outcome = take(request(false));
    ASSERT_FALSE(outcome.error);
    ASSERT_TRUE(outcome.file);
    EXPECT_EQ(outcome.file->filename(), "Screenshot iPhone 15 Pro 09.12.2026 at 09.05.07.png");
    EXPECT_TRUE(outcome.framed);
    QImage saved(QString::fromStdString(outcome.file->string()));
    EXPECT_EQ(saved.size(), QSize(360, 660));
    EXPECT_EQ(m_clipboard.image().size(), QSize(360, 660));
    ASSERT_NE(m_thumbnail.panel(), nullptr);
    EXPECT_EQ(*m_thumbnail.file(), *outcome.file);
    EXPECT_TRUE(toasts.messages().empty());
    EXPECT_EQ(statusBarCalls(), (std::vector<std::string>{"list", "override", "clear"}));
}

TEST_F(ScreenshotFlowFixture, TwoShotsInOneSecondBothSurvive) {
    statusBar("");
    const auto first = take(request(false));
    const auto second = take(request(false));
    ASSERT_TRUE(first.file && second.file);
    EXPECT_NE(*first.file, *second.file);
    EXPECT_EQ(second.file->filename(), "Screenshot iPhone 15 Pro 09.12.2026 at 09.05.07 2.png");
    EXPECT_TRUE(std::filesystem::exists(*first.file));
}

TEST_F(ScreenshotFlowFixture, CopyOnlyWritesNoFileAndSaysSo) {
    statusBar("");
    test::ToastLog toasts;
    const auto outcome = take(request(true));
    EXPECT_FALSE(outcome.error);
    EXPECT_FALSE(std::filesystem::exists(m_folder));
    EXPECT_EQ(QImage::fromData(m_clipboard.png(), "PNG").size(), QSize(360, 660));
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0],
              (ToastMessage{"Screenshot copied", QString("iPhone 15 Pro"), "doc.on.clipboard", false}));
}

TEST_F(ScreenshotFlowFixture, FailuresAreToldAndTheStatusBarIsClearedAnyway) {
    struct Case {
        const char* name;
        std::function<void(ScreenshotFlowFixture&)> arrange;
        ToastMessage toast;
    };
    const std::vector<Case> cases = {
        {"screen off",
         [](ScreenshotFlowFixture& f) { f.screen(Qt::black); },
         {"The screen is off", QString("Wake the device, then take the screenshot again."), "camera", true}},
        {"capture fails",
         [](ScreenshotFlowFixture& f) {
             // Nothing but the status bar answers: no device type, and the capture tool fails.
             f.m_fake.clearRules();
             f.statusBar("");
         },
         {"Couldn’t take the screenshot", std::nullopt, "camera", true}},
        {"folder cannot be made",
         [](ScreenshotFlowFixture& f) {
             std::filesystem::create_directories(f.m_folder.parent_path());
             std::ofstream(f.m_folder) << "a file where the folder belongs";
         },
         {"Couldn’t save the screenshot", QString("Check the screenshot folder in Screenshot Options."),
          "camera", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_fake.clearRules();
        m_fake.clearLog();
        SetUp();
        statusBar("");
        c.arrange(*this);
        test::ToastLog toasts;
        const auto outcome = take(request(false));
        EXPECT_TRUE(outcome.error);
        ASSERT_EQ(toasts.messages().size(), 1u);
        EXPECT_EQ(toasts.messages()[0], c.toast);
        EXPECT_EQ(statusBarCalls(), (std::vector<std::string>{"list", "override", "clear"}));
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

TEST_F(ScreenshotFlowFixture, AnOverrideTheUserSetIsNeitherReplacedNorCleared) {
    statusBar("Current Status Bar Overrides:\n=============================\nTime: 10:10\n");
    const auto outcome = take(request(false));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(statusBarCalls(), (std::vector<std::string>{"list"}));
}

TEST_F(ScreenshotFlowFixture, WithoutAFrameForTheDeviceTheShotIsSavedPlainAndSaysSo) {
    statusBar("");
    DeviceScreen::forgetDeviceTypes();
    m_fake.clearRules();
    statusBar("");
    m_fake.on({"simctl", "list", "devices", "-j"}, "{}"); // unknown device type: captured as "primary"
    const auto source = std::filesystem::path(m_dir.path().toStdString()) / "primary.png";
    test::ChromeFixture::writePng(source, {300, 600}, Qt::green);
    m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=primary", "*"}},
                 {"effects", {{{"copy", {source.string(), 5}}}}}});
    test::ToastLog toasts;
    const auto outcome = take(request(false));
    ASSERT_TRUE(outcome.file);
    EXPECT_FALSE(outcome.framed);
    EXPECT_EQ(QImage(QString::fromStdString(outcome.file->string())).size(), QSize(300, 600));
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0],
              (ToastMessage{"Saved without a device frame", QString("Xcode has no frame for iPhone 15 Pro."),
                            "camera", false}));

    // With framing switched off nothing is said about the frame.
    test::ToastLog quiet;
    take(request(false, false));
    EXPECT_TRUE(quiet.messages().empty());
}

TEST_F(ScreenshotFlowFixture, AStartReadsTheSettingsAtTheClickAndNamesTheFileAfterTheDevice) {
    const QString keys[] = {"screenshot.frame", "screenshot.cleanStatusBar", "screenshot.copy",
                            "screenshot.folder"};
    sharedDefaults().setValue(keys[0], false);
    sharedDefaults().setValue(keys[2], QStringLiteral("no")); // not a Boolean: on
    sharedDefaults().setValue(keys[3], QString::fromStdString(m_folder.string()));
    std::filesystem::create_directories(m_folder);
    const QDateTime now(QDate(2026, 12, 9), QTime(9, 5, 7));
    std::ofstream(m_folder / "Screenshot A-B 09.12.2026 at 09.05.07.png") << "taken";

    const auto r = ScreenshotFlow::request(kUdid, "A/B", true, now);
    EXPECT_EQ(r.udid, kUdid);
    EXPECT_TRUE(r.copyOnly);
    EXPECT_FALSE(r.frame);
    EXPECT_TRUE(r.cleanStatusBar);
    EXPECT_TRUE(r.copyToClipboard);
    EXPECT_EQ(r.folder, m_folder);
    EXPECT_EQ(r.destination, m_folder / "Screenshot A-B 09.12.2026 at 09.05.07 2.png");
    for (const QString& key : keys)
        sharedDefaults().remove(key);
}
