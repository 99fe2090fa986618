#include "panel/sections/DeviceHubPanelView.h"

#include "panel/controller/PanelPlacement.h"
#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/FakeDeviceSection.h"
#include "panel/sections/PanelViewWorld.h"
#include "panel/sections/PhysicalDeviceSection.h"
#include "panel/sections/RecentURLs.h"
#include "panel/sections/SimulatorBar.h"
#include "panel/widgets/DropHighlight.h"
#include "panel/widgets/SettingsRow.h"
#include "support/QtPrinters.h"
#include "windows/ActionWindowsService.h"

#include <QAbstractButton>
#include <QDir>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Kind = PanelRootState::Kind;
using test::PanelViewWorld;

struct PanelViewFixture : ::testing::Test {
    PanelViewWorld world;
    std::vector<QByteArray> drops;
    std::unique_ptr<DeviceHubPanelView> view;

    void make() {
        world.services->drop = [this](const QByteArray& uriList) { drops.push_back(uriList); };
        view = std::make_unique<DeviceHubPanelView>(*world.services);
        view->resize(316, 560);
        view->show();
    }
    void TearDown() override { view.reset(); }

    QString text(const char* name) const {
        const auto* label = view->findChild<QLabel*>(name);
        return label ? label->text() : QString();
    }
    bool drag(QEvent::Type type, const QMimeData& data) {
        if (type == QEvent::DragEnter) {
            QDragEnterEvent event(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view.get(), &event);
            return event.isAccepted();
        }
        if (type == QEvent::Drop) {
            QDropEvent event(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view.get(), &event);
            return event.isAccepted();
        }
        QDragLeaveEvent event;
        QCoreApplication::sendEvent(view.get(), &event);
        return true;
    }
    static std::unique_ptr<QMimeData> plainText(const QString& value) {
        auto data = std::make_unique<QMimeData>();
        data->setText(value);
        return data;
    }
};

const SimulatorDevice kPhone{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)};
const SimulatorDevice kPad{"U2", "iPad Air", QDateTime::fromSecsSinceEpoch(20)};
const PhysicalDevice kDevice{"D1", "Ana’s iPhone", QStringLiteral("iPhone 14"), {}, {}};

TEST_F(PanelViewFixture, TheControllerDecidesWhichOfTheFiveContentsIsShown) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> booted;
        std::vector<PhysicalDevice> connected;
        std::vector<SimulatorApp> apps;
        std::optional<QString> pick;
        bool collapsed;
        Kind state;
        const char* slot; // a widget only that state shows
    };
    const SimulatorApp notes = PanelViewWorld::app("org.demo.notes", "Notes", {"U1"});
    const std::vector<Case> cases = {
        {"nothing runs", {}, {}, {}, std::nullopt, false, Kind::NoSimulator, "emptyState"},
        {"a simulator without apps", {kPhone}, {}, {}, std::nullopt, false, Kind::NoApps, "emptyState"},
        {"a simulator with an app", {kPhone}, {}, {notes}, std::nullopt, false, Kind::App, "networkSection"},
        {"a connected device wins over the apps of the simulator",
         {kPhone},
         {kDevice},
         {notes},
         "D1",
         false,
         Kind::ConnectedDevice,
         "physicalDeviceSection"},
        {"collapsed wins over everything",
         {kPhone},
         {kDevice},
         {notes},
         "D1",
         true,
         Kind::Collapsed,
         "collapsedStrip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.booted = c.booted;
        world.connected = c.connected;
        world.apps = c.apps;
        world.panel->setCollapsed(c.collapsed);
        world.panel->setDeviceOverride(c.pick);
        make();
        EXPECT_EQ(view->state(), c.state);
        const auto* slot = view->findChild<QWidget*>(c.slot);
        ASSERT_NE(slot, nullptr);
        EXPECT_TRUE(slot->isVisible());
        EXPECT_EQ(view->simulatorBar()->isVisible(), !c.collapsed);
        EXPECT_EQ(view->findChild<QWidget*>("panelFooter") != nullptr, !c.collapsed);
    }
}

TEST_F(PanelViewFixture, EmptyStatesNameTheHostOrTheSimulator) {
    make();
    EXPECT_EQ(text("emptyTitle"), "No Simulator Running");
    EXPECT_EQ(text("emptyDescription"), "Start a simulator in Simulator.");
    EXPECT_EQ(view->findChild<QLabel*>("emptySymbol")->property("symbol"), "iphone.slash");

    world.booted = {kPhone};
    view->refresh();
    EXPECT_EQ(view->state(), Kind::NoApps);
    EXPECT_EQ(text("emptyTitle"), "No Apps Installed");
    EXPECT_EQ(text("emptyDescription"), "Install an app on iPhone 15 to control it here.");
    EXPECT_EQ(view->findChild<QLabel*>("emptySymbol")->property("symbol"), "square.dashed");
}

// What the footer invites to drop follows the target: a connected device takes links only.
TEST_F(PanelViewFixture, TheFooterSaysWhatTheTargetTakes) {
    world.booted = {kPhone};
    world.connected = {kDevice};
    make();
    EXPECT_EQ(text("footerHint"), "Drop files or links here");
    world.pick("D1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(text("footerHint"), "Drop links here to open them");
    world.pick("U1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(text("footerHint"), "Drop files or links here");
}

TEST_F(PanelViewFixture, TheStripExpandsThePanelAndTheBarCollapsesIt) {
    world.booted = {kPhone};
    world.panel->setCollapsed(true);
    make();
    auto* strip = view->findChild<QAbstractButton*>("collapsedStrip");
    ASSERT_NE(strip, nullptr);
    // The window takes the strip's small size only if no hidden page asks for more.
    const QSize least = view->minimumSizeHint();
    EXPECT_LE(least.width(), PanelPlacement::kCollapsedWidth);
    EXPECT_LE(least.height(), PanelPlacement::kCollapsedHeight);
    EXPECT_EQ(strip->toolTip(), "Show Quorvex");
    EXPECT_GE(strip->width(), view->width() - 2) << "the whole width reacts";
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 3, strip->height() / 2));
    EXPECT_FALSE(world.panel->isCollapsed());
    EXPECT_EQ(view->state(), Kind::NoApps);

    QTest::mouseClick(view->findChild<QAbstractButton*>("collapseButton"), Qt::LeftButton);
    EXPECT_TRUE(world.panel->isCollapsed());
    EXPECT_EQ(world.defaults->value(DeviceHubPanel::kCollapsedKey), QVariant(true))
        << "kept for the next launch";
    EXPECT_EQ(view->state(), Kind::Collapsed);
}

// Sections keep their own state while they stay: only a new app or device makes them anew.
TEST_F(PanelViewFixture, SectionsAreMadeAnewOnlyForAnotherAppOrDevice) {
    world.booted = {kPhone, kPad};
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1", "U2"}),
                  PanelViewWorld::app("org.demo.maps", "Maps", {"U1", "U2"})};
    make();
    QWidget* first = view->findChild<QWidget*>("networkSection");
    ASSERT_NE(first, nullptr);
    view->refresh();
    EXPECT_EQ(view->findChild<QWidget*>("networkSection"), first) << "the same app";

    world.panel->setApp(world.apps[1]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QWidget* second = view->findChild<QWidget*>("networkSection");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);

    world.pick("U1"); // the same app on another simulator is another section
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(view->findChild<QWidget*>("networkSection"), second);
}

// The cards act on the app as the inventory has it now: on every booted simulator that has it.
TEST_F(PanelViewFixture, CardsActOnTheAppAsTheInventoryHasItNow) {
    QStringList granted;
    Permissions permissions(
        [&](PermissionAction, std::optional<PermissionService>, const QString&, const QString& udid) {
            granted << udid; // on the pool, while the test thread only waits
            return true;
        });
    world.services = std::make_unique<PanelServices>(PanelServices{*world.panel,
                                                                   *world.tracker,
                                                                   *world.shortcuts,
                                                                   world.simulatorApps,
                                                                   world.network,
                                                                   permissions,
                                                                   world.languageTools,
                                                                   *world.defaults,
                                                                   world.clock,
                                                                   world.workspace,
                                                                   {},
                                                                   {},
                                                                   {}});
    world.booted = {kPhone, kPad};
    world.pick("U1");
    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1"})};
    make();
    const auto grantCamera = [&] {
        granted.clear();
        QSignalSpy done(&permissions, &Permissions::applyFinished);
        auto* button = view->findChild<QAbstractButton*>("grant.camera");
        ASSERT_NE(button, nullptr);
        // The card is off while its previous grant ends; a click on it then would do nothing.
        ASSERT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, 5000));
        button->click();
        // The grant may end on the pool before the wait begins: count, do not wait for a new one.
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 5000));
        granted.sort();
    };

    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1", "U2"})}; // installed on U2 too
    view->refresh();
    grantCamera();
    EXPECT_EQ(granted, QStringList({"U1", "U2"}));

    world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U1"})}; // U2 shut down
    view->refresh();
    grantCamera();
    EXPECT_EQ(granted, QStringList({"U1"}));
    view.reset(); // before the permissions it uses
}

// The connected-device tools keep what the user typed and unfolded while the device record
// changes under them, and act on the record as it is now.
TEST_F(PanelViewFixture, TheDeviceToolsFollowTheDeviceRecordAndKeepTheirState) {
    test::FakeDeviceSection deviceSections;
    world.services->deviceSections = &deviceSections;
    world.defaults->setValue(RecentURLs::kSettingsKey, QStringList{"myapp://1", "myapp://2", "myapp://3"});
    world.connected = {kDevice};
    world.pick("D1");
    make();
    auto* section = view->findChild<PhysicalDeviceSection*>();
    ASSERT_NE(section, nullptr);
    section->findChild<QLineEdit*>("urlField")->setText("myapp://typed");
    section->findChild<SettingsRow*>("foldRow")->clicked();
    ASSERT_TRUE(section->showsAllRecent());

    const PhysicalDevice renamed{"D1", "Ana’s work iPhone", QStringLiteral("iPhone 14"), {}, {}};
    world.connected = {renamed};
    view->refresh();
    EXPECT_EQ(section->device().name, "Ana’s work iPhone");
    EXPECT_EQ(section->appDataCard()->device().name, "Ana’s work iPhone");

    const PhysicalDevice pad{"D2", "Studio iPad", QStringLiteral("iPad Pro"), {}, {}};
    world.connected = {renamed, pad};
    world.pick("D2");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(view->findChild<PhysicalDeviceSection*>(), section) << "the same tools, for another device";
    EXPECT_EQ(section->device().id, "D2");
    EXPECT_EQ(section->findChild<QLineEdit*>("urlField")->text(), "myapp://typed");
    EXPECT_TRUE(section->showsAllRecent());
    section->findChild<SettingsRow*>("pushRow")->clicked();
    EXPECT_EQ(deviceSections.calls, QStringList{"push D2"});
    view.reset(); // before the device services it uses
    QThreadPool::globalInstance()->waitForDone();
}

TEST_F(PanelViewFixture, ADragBlursAndDimsTheContentUnderTheHighlightAndLeavingRestoresIt) {
    world.booted = {kPhone};
    make();
    auto files = std::make_unique<QMimeData>();
    files->setUrls({QUrl::fromLocalFile("/tmp/a.png")});

    EXPECT_TRUE(drag(QEvent::DragEnter, *files));
    EXPECT_TRUE(view->isDropTargeted());
    ASSERT_NE(view->dropHighlight(), nullptr);
    EXPECT_EQ(view->dropHighlight()->headline(), "Drop on iPhone 15");
    EXPECT_EQ(view->blurRadius(), 0.0) << "fades in from nothing";

    world.clock.advance(DeviceHubPanelView::kVeilDuration / 2);
    EXPECT_GT(view->blurRadius(), 0.0);
    EXPECT_LT(view->blurRadius(), DeviceHubPanelView::kVeilBlurRadius);
    world.clock.advance(DeviceHubPanelView::kVeilDuration);
    EXPECT_DOUBLE_EQ(view->blurRadius(), 8.0);
    EXPECT_DOUBLE_EQ(view->contentOpacity(), 0.35);
    auto* veil = view->findChild<QWidget*>("contentVeil");
    ASSERT_NE(veil, nullptr);
    EXPECT_TRUE(veil->isVisible());

    drag(QEvent::DragLeave, *files);
    EXPECT_FALSE(view->isDropTargeted());
    EXPECT_EQ(view->dropHighlight(), nullptr);
    world.clock.advance(DeviceHubPanelView::kVeilDuration + 0.02);
    EXPECT_EQ(view->blurRadius(), 0.0);
    EXPECT_EQ(view->contentOpacity(), 1.0);
    EXPECT_EQ(world.clock.pendingCount(), 0u) << "no frame is scheduled once the fade is over";
    EXPECT_TRUE(veil->isHidden()) << "the live content shows again";
}

TEST_F(PanelViewFixture, TheHighlightNamesTheTargetOrNothingWithoutOne) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> booted;
        std::vector<PhysicalDevice> connected;
        std::optional<QString> pick;
        QString headline;
    };
    const std::vector<Case> cases = {
        {"no target", {}, {}, std::nullopt, "Drop on the simulator"},
        {"a simulator", {kPhone}, {}, std::nullopt, "Drop on iPhone 15"},
        {"a connected device", {kPhone}, {kDevice}, "D1", "Drop links on Ana’s iPhone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world.booted = c.booted;
        world.connected = c.connected;
        world.panel->setDeviceOverride(c.pick);
        make();
        ASSERT_TRUE(drag(QEvent::DragEnter, *plainText("https://example.com")));
        ASSERT_NE(view->dropHighlight(), nullptr);
        EXPECT_EQ(view->dropHighlight()->headline(), c.headline);
    }
}

TEST_F(PanelViewFixture, ADragWithoutLinksFilesOrTextIsNotTaken) {
    make();
    QMimeData image;
    image.setData("image/png", QByteArray("\x89PNG", 4));
    EXPECT_FALSE(drag(QEvent::DragEnter, image));
    EXPECT_FALSE(view->isDropTargeted());
    EXPECT_EQ(view->dropHighlight(), nullptr);
}

TEST_F(PanelViewFixture, DropsAreAcceptedAndOnlyTheirURLsAreHandedOn) {
    world.booted = {kPhone};
    make();
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QMimeData>()> data;
        std::optional<QByteArray> handedOn;
    };
    const std::vector<Case> cases = {
        {"a sentence", [] { return plainText("call me maybe"); }, std::nullopt},
        {"a bare host name", [] { return plainText("example.com"); }, std::nullopt},
        {"a link among spaces and line breaks",
         [] { return plainText("  \n https://Example.com/Orders \n"); },
         QByteArray("https://Example.com/Orders\r\n")},
        {"two files in drag order",
         [] {
             auto data = std::make_unique<QMimeData>();
             data->setUrls({QUrl::fromLocalFile("/tmp/b.apns"), QUrl::fromLocalFile("/tmp/a.png")});
             return data;
         },
         QByteArray("file:///tmp/b.apns\r\nfile:///tmp/a.png\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drops.clear();
        const auto data = c.data();
        drag(QEvent::DragEnter, *data);
        EXPECT_TRUE(drag(QEvent::Drop, *data)) << "always accepted";
        EXPECT_FALSE(view->isDropTargeted());
        EXPECT_TRUE(drops.empty()) << "handed on after the drop event has been answered";
        QCoreApplication::processEvents();
        if (c.handedOn) {
            ASSERT_EQ(drops.size(), 1u);
            EXPECT_EQ(drops.front(), *c.handedOn);
        } else {
            EXPECT_TRUE(drops.empty());
        }
    }
}

TEST_F(PanelViewFixture, TheCollapsedStripIsADropTargetToo) {
    world.booted = {kPhone};
    world.panel->setCollapsed(true);
    make();
    const auto data = plainText("myapp://open");
    EXPECT_TRUE(drag(QEvent::DragEnter, *data));
    EXPECT_NE(view->dropHighlight(), nullptr);
    drag(QEvent::Drop, *data);
    QCoreApplication::processEvents();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops.front(), "myapp://open\r\n");
}

TEST(DeviceHubPanelViewColourTest, ThePanelColourFollowsTheAppearance) {
    EXPECT_EQ(DeviceHubPanelView::panelColour(true), QColor::fromRgbF(0.13f, 0.13f, 0.13f));
    EXPECT_EQ(DeviceHubPanelView::panelColour(false), QColor::fromRgbF(0.925f, 0.925f, 0.925f));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QPalette light;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    EXPECT_TRUE(DeviceHubPanelView::isDark(dark));
    EXPECT_FALSE(DeviceHubPanelView::isDark(light));
}

} // namespace
} // namespace quorvex
