#include "panel/sections/SimulatorBar.h"

#include "panel/sections/MenuFlows.h"
#include "panel/sections/PanelViewWorld.h"
#include "panel/widgets/HoverHint.h"
#include "panel/widgets/ToolButton.h"
#include "panel/widgets/ToolMenuButton.h"
#include "support/HangingTool.h"
#include "support/QtPrinters.h"
#include "support/ToastLog.h"
#include "ui/Animator.h"
#include "ui/Motion.h"
#include "windows/ActionWindowsService.h"

#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace quorvex {
namespace {

using test::PanelViewWorld;

class RecordingFlows final : public MenuFlows {
public:
    QStringList calls;
    QFuture<void> confirmSaveSnapshot(const SimulatorApp& app, const SimulatorInstall&) override {
        calls << "snapshot " + app.id;
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> addSampleMedia(const SimulatorDevice& device) override {
        calls << "sample " + device.udid;
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> chooseMediaToAdd(const SimulatorDevice& device) override {
        calls << "choose " + device.udid;
        return QtFuture::makeReadyFuture();
    }
};

class RecordingWindows final : public ActionWindowsService {
public:
    QStringList calls;
    void openDeepLinkWindow(const SimulatorApp&) override {}
    void openPushWindow(const SimulatorApp&) override {}
    void showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                             const SimulatorDevice& target) override {
        calls << QStringLiteral("status bar %1 of %2").arg(target.udid).arg(devices.size());
    }
    void screenshot(const QString&, bool) override {}
};

// The keys as the shortcut table writes them on this desktop.
QString keys(DeviceHubShortcuts::Command command) {
    for (const auto& row : DeviceHubShortcuts::table())
        if (row.command == command)
            return row.keys;
    return {};
}

const SimulatorDevice kPhone{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)};
const SimulatorDevice kPad{"U2", "iPad Air", QDateTime::fromSecsSinceEpoch(20)};
const QString kCapability = SimulatorBar::kStatusBarCapability;

PhysicalDevice device(const QString& id, const QString& name, std::optional<QString> model,
                      std::set<QString> capabilities = {}) {
    return {id, name, std::move(model), std::nullopt, std::move(capabilities)};
}

struct BarFixture : ::testing::Test {
    PanelViewWorld world;
    RecordingFlows flows;
    RecordingWindows windows;
    test::ToastLog toasts;
    std::unique_ptr<SimulatorBar> bar;

    void make() {
        world.services->menuFlows = &flows;
        world.services->actionWindows = &windows;
        bar = std::make_unique<SimulatorBar>(*world.services);
        bar->show();
        settle();
    }
    void TearDown() override {
        world.releaseReads();
        bar.reset();
    }

    // Lets the first slow-animation read come back, and old tool rows go.
    void settle() {
        PanelViewWorld::finish(bar->readSlowAnimations());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <typename T = QWidget> T* tool(const char* name) const {
        T* found = nullptr;
        for (T* candidate : bar->findChildren<T*>(name))
            if (!candidate->isHidden())
                found = candidate;
        return found;
    }
    QString hint(const char* name) const {
        if (auto* button = tool<ToolButton>(name))
            return button->hint()->text();
        if (auto* menuButton = tool<ToolMenuButton>(name))
            return menuButton->hint()->text();
        return {};
    }
    QStringList menuTexts(QMenu* menu) const {
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << (action->isSeparator() && action->text().isEmpty() ? QStringLiteral("—")
                                                                        : action->text());
        return texts;
    }
    QAction* action(QMenu* menu, const QString& text) const {
        for (QAction* candidate : menu->actions())
            if (candidate->text() == text)
                return candidate;
        return nullptr;
    }
};

TEST_F(BarFixture, TheTopRowNamesTheTargetAndOffersAPickOnlyWithTwoDevices) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> booted;
        std::vector<PhysicalDevice> connected;
        std::optional<QString> pick;
        QString deviceName;
        QString subtitle;
        bool chevron;
    };
    const std::vector<Case> cases = {
        {"no target", {}, {}, std::nullopt, "No Device", "Start a simulator in Simulator", false},
        {"one simulator", {kPhone}, {}, std::nullopt, "iPhone 15", "Simulator", false},
        {"two simulators", {kPhone, kPad}, {}, std::nullopt, "iPad Air", "Simulator", true},
        {"a simulator and a device",
         {kPhone},
         {device("D1", "Ana’s iPhone", "iPhone 14")},
         std::nullopt,
         "iPhone 15",
         "Simulator",
         true},
        {"a device with a model",
         {kPhone},
         {device("D1", "Ana’s iPhone", "iPhone 14")},
         "D1",
         "Ana’s iPhone",
         "iPhone 14",
         true},
        {"a device without a model",
         {},
         {device("D1", "Ana’s iPhone", std::nullopt)},
         "D1",
         "Ana’s iPhone",
         "Connected Device",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.booted = c.booted;
        world.connected = c.connected;
        world.panel->setDeviceOverride(c.pick);
        make();
        EXPECT_EQ(bar->deviceName(), c.deviceName);
        auto* picker = tool<QToolButton>("devicePicker");
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->text(), c.deviceName);
        EXPECT_EQ(tool<QLabel>("deviceSubtitle")->text(), c.subtitle);
        EXPECT_EQ(picker->menu() != nullptr, c.chevron) << "a menu, and so a chevron, only with two devices";
    }
}

TEST_F(BarFixture, TheDeviceMenuListsSimulatorsThenConnectedDevicesAndPicksByHand) {
    world.booted = {kPhone, kPad};
    make();
    bar->fillDeviceMenu();
    EXPECT_EQ(menuTexts(bar->deviceMenu()), (QStringList{"Simulators", "iPhone 15", "iPad Air"}))
        << "no section for connected devices while none is there";

    world.connected = {device("D1", "Ana’s iPhone", "iPhone 14")};
    bar->fillDeviceMenu();
    EXPECT_EQ(menuTexts(bar->deviceMenu()),
              (QStringList{"Simulators", "iPhone 15", "iPad Air", "Connected Devices", "Ana’s iPhone"}));

    action(bar->deviceMenu(), "iPad Air")->trigger();
    EXPECT_EQ(world.panel->deviceOverride(), "U2") << "picking the shown device still sets it";
    action(bar->deviceMenu(), "Ana’s iPhone")->trigger();
    EXPECT_EQ(world.panel->deviceOverride(), "D1");
    EXPECT_EQ(bar->deviceName(), "Ana’s iPhone");
}

// Which tools work, and what their hints say, for each kind of target.
TEST_F(BarFixture, ToolsAreEnabledByTargetAndSayWhenTheyNeedASimulator) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> booted;
        std::vector<PhysicalDevice> connected;
        std::optional<QString> pick;
        bool rowEnabled;
        bool simulatorTools;
        bool statusBarEnabled;
        bool statusBarMenu;
        QString statusBarHint;
        QString suffix;
    };
    const std::vector<Case> cases = {
        {"no target", {}, {}, std::nullopt, false, true, true, false, "Customize status bar", ""},
        {"a simulator", {kPhone}, {}, std::nullopt, true, true, true, false, "Customize status bar", ""},
        {"a device that cannot fake its status bar",
         {},
         {device("D1", "Ana’s iPhone", "iPhone 14")},
         "D1",
         true,
         false,
         false,
         false,
         "Status bar · not supported by Ana’s iPhone",
         " · simulators only"},
        {"a device that can",
         {},
         {device("D1", "Ana’s iPhone", "iPhone 14", {kCapability})},
         "D1",
         true,
         false,
         true,
         true,
         "Status bar presets",
         " · simulators only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.booted = c.booted;
        world.connected = c.connected;
        world.panel->setDeviceOverride(c.pick);
        make();
        QWidget* row = tool("toolRow");
        EXPECT_EQ(row->isEnabled(), c.rowEnabled);
        // Each tool's own state; the row's, when it is off, covers them all.
        for (const char* name :
             {"mediaTool", "languageTool", "shakeTool", "slowAnimationsTool", "memoryWarningTool"})
            EXPECT_EQ(tool(name)->isEnabledTo(row), c.simulatorTools) << name;
        EXPECT_TRUE(tool("screenshotTool")->isEnabledTo(row)) << "a screenshot works on a device too";
        EXPECT_EQ(tool("statusBarTool")->isEnabledTo(row), c.statusBarEnabled);
        EXPECT_EQ(tool<ToolMenuButton>("statusBarTool") != nullptr, c.statusBarMenu);
        EXPECT_EQ(hint("statusBarTool"), c.statusBarHint);
        EXPECT_EQ(hint("mediaTool"), "Add photos, videos, or contacts" + c.suffix);
        EXPECT_EQ(hint("languageTool"), "Language and region" + c.suffix);
        EXPECT_EQ(hint("shakeTool"),
                  "Shake gesture (" + keys(DeviceHubShortcuts::Command::shake) + ")" + c.suffix);
        EXPECT_EQ(hint("slowAnimationsTool"), "Slow animations" + c.suffix);
        EXPECT_EQ(hint("memoryWarningTool"), "Simulate memory warning (" +
                                                 keys(DeviceHubShortcuts::Command::memoryWarning) + ")" +
                                                 c.suffix);
        EXPECT_EQ(hint("screenshotTool"), "Screenshot (" + keys(DeviceHubShortcuts::Command::takeScreenshot) +
                                              ") · hold for options");
    }
}

TEST_F(BarFixture, WithoutATargetTheShortcutsAndCollapseStillWork) {
    make();
    ASSERT_FALSE(tool("toolRow")->isEnabled());
    auto* shortcuts = tool<QToolButton>("shortcutsMenu");
    ASSERT_TRUE(shortcuts->isEnabled());
    EXPECT_EQ(hint("shortcutsMenu"), "Shortcuts while Simulator is in front");
    const QStringList rows = menuTexts(shortcuts->menu());
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows.front(), "Ctrl+Alt+N  Cycle Network Speed");
    action(shortcuts->menu(), "Ctrl+Alt+C  Copy Screenshot")->trigger();
    EXPECT_EQ(world.screenshots, std::vector<bool>{true}) << "a row runs exactly what its keys run";
    QTest::mouseClick(tool<QAbstractButton>("collapseButton"), Qt::LeftButton);
    EXPECT_TRUE(world.panel->isCollapsed());
}

TEST_F(BarFixture, ToolsActOnTheTargetSimulator) {
    world.booted = {kPhone};
    make();
    QTest::mouseClick(tool<QAbstractButton>("screenshotTool"), Qt::LeftButton);
    EXPECT_EQ(world.screenshots, std::vector<bool>{false}) << "a click takes the screenshot at once";
    EXPECT_EQ(tool<QToolButton>("screenshotTool")->popupMode(), QToolButton::DelayedPopup)
        << "holding opens the options";

    QTest::mouseClick(tool<QAbstractButton>("shakeTool"), Qt::LeftButton);
    QTest::mouseClick(tool<QAbstractButton>("memoryWarningTool"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.log().contains("memory U1"); }));
    EXPECT_TRUE(world.log().contains("shake U1"));

    QMenu* media = tool<QToolButton>("mediaTool")->menu();
    action(media, "Sample Media")->trigger();
    action(media, "Photos, Videos, or Contacts…")->trigger();
    EXPECT_EQ(flows.calls, (QStringList{"sample U1", "choose U1"}));

    QTest::mouseClick(tool<QAbstractButton>("statusBarTool"), Qt::LeftButton);
    EXPECT_EQ(windows.calls, QStringList{"status bar U1 of 1"});
}

TEST_F(BarFixture, SlowAnimationsAreReadForEachTargetAndTheToggleActsOnTheRealState) {
    world.booted = {kPhone, kPad};
    world.slowAnimations["U1"] = true; // switched on outside the program
    make();
    EXPECT_FALSE(bar->slowAnimations()) << "the iPad, the target, is not slowed";

    world.pick("U1");
    bar->refresh();
    settle();
    EXPECT_TRUE(bar->slowAnimations()) << "read again at the change of target";
    EXPECT_TRUE(tool<ToolButton>("slowAnimationsTool")->isOn());
    EXPECT_EQ(hint("slowAnimationsTool"), "Slow animations are on");

    // Switched off outside meanwhile: the toggle reads that first, so it switches them on.
    world.slowAnimations["U1"] = false;
    PanelViewWorld::finish(bar->toggleSlowAnimations());
    EXPECT_TRUE(world.slowAnimations["U1"]);
    EXPECT_TRUE(bar->slowAnimations());
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Slow animations on", std::nullopt, "tortoise", false}));

    world.writesSucceed = false;
    const size_t shown = toasts.messages().size();
    PanelViewWorld::finish(bar->toggleSlowAnimations());
    EXPECT_TRUE(bar->slowAnimations()) << "a failed toggle changes nothing";
    EXPECT_EQ(toasts.messages().size(), shown) << "and says nothing";
}

TEST_F(BarFixture, ASlowAnimationReadForAnEarlierTargetIsDropped) {
    world.booted = {kPhone, kPad};
    world.slowAnimations["U2"] = true;
    make();
    ASSERT_TRUE(bar->slowAnimations());
    world.slowAnimations["U1"] = true;
    QFuture<void> late = bar->toggleSlowAnimations(); // for the iPad
    world.pick("U1");
    PanelViewWorld::finish(late);
    settle();
    EXPECT_TRUE(bar->slowAnimations()) << "the iPhone's own state, not the iPad's new one";
}

TEST_F(BarFixture, AReadAskedBeforeAToggleCannotUndoIt) {
    world.booted = {kPhone};
    make();
    const qsizetype asked = world.log().size();
    {
        std::lock_guard guard(world.lock);
        world.holdNextRead = true;
    }
    QFuture<void> stale = bar->readSlowAnimations(); // finds them off, answers late
    ASSERT_TRUE(QTest::qWaitFor([&] { return world.log().size() == asked + 1; }, 5000));
    PanelViewWorld::finish(bar->toggleSlowAnimations());
    ASSERT_TRUE(bar->slowAnimations());
    world.releaseReads();
    PanelViewWorld::finish(stale);
    EXPECT_TRUE(bar->slowAnimations()) << "the answer predates the toggle";
    EXPECT_TRUE(tool<ToolButton>("slowAnimationsTool")->isOn());
}

// The bar goes at quit; a simulator that hangs must not hold the program up for a minute or more.
TEST_F(BarFixture, ClosingTheBarEndsTheToolsItsCommandsRunInsteadOfWaiting) {
    world.booted = {kPhone};
    make();
    const QString started = world.folder.filePath("started");
    world.services->commands.slowAnimations = [started](const QString&) {
        return test::runHangingTool(started);
    };
    world.services->commands.setSlowAnimations = [started](bool, const QString&) {
        return test::runHangingTool(started);
    };
    bar->toggleSlowAnimations(); // a read, then a write: two tools in a row
    ASSERT_TRUE(test::waitUntilStarted(started));

    const auto closing = std::chrono::steady_clock::now();
    bar.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(15));
}

TEST_F(BarFixture, StatusBarPresetsRunOnTheDeviceAndReportWhereTheyFailed) {
    world.connected = {device("D1", "Ana’s iPhone", "iPhone 14", {kCapability})};
    world.pick("D1");
    make();
    QMenu* presets = tool<QToolButton>("statusBarTool")->menu();
    ASSERT_NE(presets, nullptr);
    EXPECT_EQ(menuTexts(presets), (QStringList{"Clean (9:41, Full Battery)", "Low Battery", "No Service",
                                               "Charging", "—", "Reset Status Bar"}));

    action(presets, "Low Battery")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !toasts.messages().empty(); }));
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Low Battery", std::nullopt, "menubar.rectangle", false}));
    EXPECT_EQ(world.log().back(),
              "preset " + PhysicalDeviceTools::rawValue(PhysicalDeviceTools::StatusBarPreset::lowBattery) +
                  " D1");

    struct Case {
        const char* name;
        std::vector<PhysicalDevice> connectedAtTheEnd;
        QString title;
    };
    for (const Case& c : std::vector<Case>{{"still there", world.connected, "Didn’t work on Ana’s iPhone"},
                                           {"unplugged meanwhile", {}, "Didn’t work on the device"}}) {
        SCOPED_TRACE(c.name);
        // The command fails only after the device list has changed.
        std::promise<void> gate;
        std::shared_future<void> opened = gate.get_future().share();
        QFuture<void> reset = bar->runStatusBarJob("Status bar reset", [opened] {
            opened.wait();
            return false;
        });
        world.connected = c.connectedAtTheEnd;
        gate.set_value();
        PanelViewWorld::finish(reset);
        EXPECT_EQ(toasts.messages().back(), (ToastMessage{c.title, std::nullopt, "menubar.rectangle", true}));
        world.connected = {device("D1", "Ana’s iPhone", "iPhone 14", {kCapability})};
    }
}

TEST_F(BarFixture, TheLanguageSectionShowsOnlyForASimulatorApp) {
    world.booted = {kPhone};
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1"})};
    world.connected = {device("D1", "Ana’s iPhone", "iPhone 14")};
    make();
    EXPECT_EQ(bar->findChild<QWidget*>("languageSection"), nullptr);
    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(bar->showsLanguage());
    EXPECT_TRUE(tool<ToolButton>("languageTool")->isOn());
    EXPECT_NE(tool("languageSection"), nullptr);

    world.pick("D1");
    bar->refresh();
    settle();
    EXPECT_EQ(tool("languageSection"), nullptr) << "hidden on a device";
    EXPECT_FALSE(tool<ToolButton>("languageTool")->isOn());
    EXPECT_TRUE(bar->showsLanguage()) << "and back when the simulator is";

    world.pick("U1");
    bar->refresh();
    settle();
    EXPECT_NE(tool("languageSection"), nullptr);
}

// The language tool unfolds its section with a spring (0.5 s, damping 0.85) and folds it the
// same way before it goes; a panel that follows the bar's size shows the height the spring has
// reached.
TEST_F(BarFixture, TheLanguageToolUnfoldsAndFoldsItsSectionWithASpring) {
    world.booted = {kPhone};
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1"})};
    make();
    bar->animator().setReduceMotion(false);
    const int closed = bar->sizeHint().height();
    const auto shownHeight = [&] {
        bar->adjustSize();
        return bar->height() - closed;
    };
    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    settle();
    QWidget* section = tool("languageSection");
    ASSERT_NE(section, nullptr);
    const int full = section->sizeHint().height() + bar->layout()->spacing();
    const Motion spring = Motion::spring(0.5, 0.85);
    EXPECT_LE(shownHeight(), bar->layout()->spacing());
    double now = 0;
    for (const double t : {0.1, 0.25}) {
        SCOPED_TRACE(t);
        world.clock.advance(t - now);
        now = t;
        const double unfolded = spring.progress(t);
        ASSERT_GT(unfolded, 0.2);
        ASSERT_LT(unfolded, 0.98);
        EXPECT_NEAR(shownHeight(), (full - bar->layout()->spacing()) * unfolded + bar->layout()->spacing(),
                    2);
    }
    world.clock.advance(2);
    EXPECT_EQ(shownHeight(), full);
    EXPECT_FALSE(bar->animator().isRunning());

    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    EXPECT_EQ(tool("languageSection"), section) << "it folds before it goes";
    world.clock.advance(0.1);
    EXPECT_LT(shownHeight(), full);
    EXPECT_GT(shownHeight(), bar->layout()->spacing());
    world.clock.advance(2);
    settle();
    EXPECT_EQ(tool("languageSection"), nullptr);
    EXPECT_FALSE(bar->animator().isRunning());

    // Under Reduce Motion the section opens and closes at once.
    bar->animator().setReduceMotion(true);
    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    settle();
    EXPECT_EQ(shownHeight(), full);
    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    settle();
    EXPECT_EQ(tool("languageSection"), nullptr);
    EXPECT_FALSE(bar->animator().isRunning());
}

// The language card reads the simulator the panel shows, however the target moved there, and
// never asks a simulator command of a connected device.
TEST_F(BarFixture, TheLanguageSectionReadsEverySimulatorTargetAndNeverAConnectedDevice) {
    world.booted = {kPhone, kPad}; // the target: the iPad, booted last
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1", "U2"})};
    world.connected = {device("D1", "Ana’s iPhone", "iPhone 14")};
    make();
    QTest::mouseClick(tool<QAbstractButton>("languageTool"), Qt::LeftButton);
    settle();
    const auto readsSettled = [] {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    };
    readsSettled();
    EXPECT_EQ(world.languageTools.read(), QStringList{"U2"});

    // The iPad shuts down: only the inventory moves the target, the controller's state stays.
    world.booted = {kPhone};
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1"})};
    bar->refresh();
    readsSettled();
    EXPECT_EQ(world.languageTools.read(), QStringList({"U2", "U1"}));

    world.pick("D1");
    bar->refresh();
    settle();
    readsSettled();
    EXPECT_EQ(tool("languageSection"), nullptr);
    EXPECT_EQ(world.languageTools.read(), QStringList({"U2", "U1"})) << "nothing asked of the device";
}

TEST(SimulatorBarTest, TheAccessibilityLinkAsksForAccessAndGoesOnceItIsGranted) {
    PanelViewWorld world(false);
    world.booted = {kPhone};
    SimulatorBar bar(*world.services);
    bar.show();
    auto* link = bar.findChild<QToolButton*>("accessibilityLink");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->isVisible());
    EXPECT_EQ(link->text(), "Follow the device shown in Simulator");
    EXPECT_EQ(link->toolTip(),
              "Needs Accessibility access to read Simulator’s window title. Without it, the panel "
              "uses the most recently started simulator.");
    QTest::mouseClick(link, Qt::LeftButton);
    bar.refresh();
    EXPECT_TRUE(world.tracker->canReadTitles());
    EXPECT_FALSE(link->isVisible());
}

} // namespace
} // namespace quorvex
