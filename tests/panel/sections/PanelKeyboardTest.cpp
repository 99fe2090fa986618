#include "panel/sections/DeviceHubPanelView.h"

#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/FakeDeviceSection.h"
#include "panel/sections/LanguageCodes.h"
#include "panel/sections/PanelViewWorld.h"
#include "panel/sections/RecentURLs.h"
#include "panel/sections/SimulatorBar.h"
#include "panel/widgets/SettingsRow.h"
#include "support/KeyboardAudit.h"
#include "support/QtPrinters.h"
#include "windows/ActionWindowsService.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::PanelViewWorld;

const SimulatorDevice kPhone{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)};
const SimulatorDevice kPad{"U2", "iPad Air", QDateTime::fromSecsSinceEpoch(20)};

enum class State { app, device, collapsed };

// The panel as a keyboard user meets it, in one of its states, with as many controls as the
// state can show: two simulators (a device menu), two apps (an app menu), window titles that
// cannot be read (the Accessibility link), and on the connected device a recent-URL history
// long enough to fold, an app with a snapshot.
struct Panel {
    PanelViewWorld world{false};
    test::FakeDeviceSection devices;
    test::QuietActionWindows windows;
    std::unique_ptr<DeviceHubPanelView> view;

    explicit Panel(State state, int height = 1100) {
        world.booted = {kPhone, kPad};
        world.apps = {PanelViewWorld::app("org.demo.notes", "Notes", {"U2"}),
                      PanelViewWorld::app("org.demo.maps", "Maps", {"U2"})};
        if (state == State::device) {
            PhysicalDevice phone{"D1", "Ana’s iPhone", QStringLiteral("iPhone 14"), {}, {}};
            phone.capabilities.insert(SimulatorBar::kStatusBarCapability);
            world.connected = {phone};
            world.pick("D1");
            world.defaults->setValue(RecentURLs::kSettingsKey,
                                     QStringList{"myapp://1", "myapp://2", "myapp://3"});
            DeviceApp notes;
            notes.id = "org.demo.notes";
            notes.name = "Notes";
            devices.deviceApps["D1"] = {notes};
            devices.savedSnapshots["org.demo.notes"] = {
                DeviceSnapshot{QUuid::createUuid(),
                               "Before",
                               "org.demo.notes",
                               "Ana’s iPhone",
                               QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC),
                               2048,
                               {}}};
        }
        world.panel->setCollapsed(state == State::collapsed);
        world.services->deviceSections = &devices;
        world.services->actionWindows = &windows;
        view = std::make_unique<DeviceHubPanelView>(*world.services);
        view->resize(316, height);
        if (state == State::device) {
            auto* card = view->findChild<DeviceAppDataCard*>();
            EXPECT_TRUE(QTest::qWaitFor([card] { return card && !card->isLoading(); }, 5000));
        }
    }
    ~Panel() {
        view.reset(); // before the services it uses
        QThreadPool::globalInstance()->waitForDone();
    }

    [[nodiscard]] bool show() { return test::showActive(view.get()); }

    QWidget* find(const QString& name) const {
        for (QWidget* widget : view->findChildren<QWidget*>(name))
            if (widget->isVisibleTo(view.get()))
                return widget;
        return nullptr;
    }
};

QStringList permissionButtons() {
    QStringList names;
    for (const char* service : {"camera", "photos", "location", "contacts", "microphone"})
        for (const char* action : {"grant", "revoke", "reset"})
            names << QStringLiteral("%1.%2").arg(action, service);
    return names;
}

const QStringList kBarStart = {"devicePicker",       "shortcutsMenu",    "collapseButton", "screenshotTool",
                               "statusBarTool",      "mediaTool",        "languageTool",   "shakeTool",
                               "slowAnimationsTool", "memoryWarningTool"};

QStringList appOrder() {
    return kBarStart + QStringList{"accessibilityLink", "appMenu",         "segment.wifi",      "segment.5g",
                                   "segment.off",       "otherSpeedsMenu", "openURLRow",        "pushRow",
                                   "snapshotRow",       "appDataMenu",     "permissionsAllMenu"} +
           permissionButtons() + QStringList{"permissionsToggle"};
}

// On a connected device the simulator-only tools are off, so Tab passes them by.
QStringList deviceOrder() {
    return QStringList{"devicePicker",    "shortcutsMenu",     "collapseButton", "screenshotTool",
                       "statusBarTool",   "accessibilityLink", "clearRecent",    "urlField",
                       "recentRow",       "recentRow",         "foldRow",        "appMenu",
                       "saveSnapshotRow", "downloadRow",       "restoreButton",  "deleteSnapshotButton",
                       "pushRow"};
}

TEST(PanelKeyboardTest, TabVisitsEveryEnabledControlInReadingOrderAndComesBack) {
    struct Case {
        const char* name;
        State state;
        QStringList order;
    };
    const std::vector<Case> cases = {
        {"an app on a simulator", State::app, appOrder()},
        {"a connected device", State::device, deviceOrder()},
        {"collapsed", State::collapsed, {"collapsedStrip"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Panel panel(c.state);
        ASSERT_TRUE(panel.show());
        QWidget* first = panel.find(c.order.front());
        ASSERT_NE(first, nullptr);
        const std::vector<QWidget*> walk = test::walkTabOrder(first);
        EXPECT_EQ(test::objectNames(walk).join(' ').toStdString(), c.order.join(' ').toStdString());
        EXPECT_EQ(walk.size(), test::tabStops(panel.view.get()).size()) << "every stop is reached";
        for (QWidget* stop : walk) {
            if (stop) {
                EXPECT_EQ(stop->window(), panel.view.get()) << "Tab stays in the panel's own window";
            }
        }
    }
}

// Sections that make their rows anew (the tool row when a tool switches, the language card when
// it opens, the permissions when they unfold) put the new controls where they are shown, and the
// control the user pressed keeps the focus.
TEST(PanelKeyboardTest, ControlsMadeAnewTakeTheirPlaceInTheOrderAndKeepTheFocus) {
    Panel panel(State::app);
    ASSERT_TRUE(panel.show());

    QWidget* language = panel.find("languageTool");
    language->setFocus(Qt::TabFocusReason);
    QTest::keyClick(language, Qt::Key_Space);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(panel.view->simulatorBar()->showsLanguage());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "languageTool");

    QStringList expected = appOrder();
    const qsizetype link = expected.indexOf("accessibilityLink");
    expected = expected.mid(0, link) + QStringList{"languageMenu", "regionMenu", "applyLanguageButton"} +
               expected.mid(link);
    EXPECT_EQ(test::objectNames(test::walkTabOrder(panel.find("devicePicker"))).join(' ').toStdString(),
              expected.join(' ').toStdString());

    QWidget* toggle = panel.find("permissionsToggle");
    toggle->setFocus(Qt::TabFocusReason);
    QTest::keyClick(toggle, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "permissionsToggle");
    const QStringList unfolded = test::objectNames(test::walkTabOrder(panel.find("devicePicker")));
    EXPECT_EQ(unfolded.size(), expected.size() + 8 * 3);
    EXPECT_EQ(unfolded.last(), "permissionsToggle");
    EXPECT_EQ(unfolded[unfolded.size() - 2], "reset.siri");
}

struct Pressed {
    QStringList clicked; // buttons and rows that ran their action
    bool menuOpened = false;
};

// What a control does on a key: open its menu (a press on a menu button; Down on any button
// with a menu, also on one whose click acts and whose hold opens it), or run its own action.
enum class Does { action, menu, nothing };

Does expected(QWidget* control, Qt::Key key) {
    auto* tool = qobject_cast<QToolButton*>(control);
    const bool hasMenu = (tool && tool->menu()) || control->objectName() == "appMenu";
    const bool pressOpens = hasMenu && (!tool || tool->popupMode() == QToolButton::InstantPopup);
    if (key == Qt::Key_Down)
        return hasMenu ? Does::menu : Does::nothing;
    return pressOpens ? Does::menu : Does::action;
}

// Presses `key` on the `index`th control named `name` of a fresh panel, and notes what acted.
Pressed press(State state, const QString& name, int index, Qt::Key key, Does& does) {
    Panel panel(state);
    EXPECT_TRUE(panel.show());
    QList<QWidget*> shown;
    for (QWidget* widget : panel.view->findChildren<QWidget*>(name))
        if (widget->isVisibleTo(panel.view.get()) && widget->isEnabledTo(panel.view.get()))
            shown << widget;
    // The layout order is what Tab follows; findChildren gives the order of making.
    const std::vector<QWidget*> stops =
        test::walkTabOrder(panel.find("devicePicker") ? panel.find("devicePicker") : shown.value(0));
    QList<QWidget*> ordered;
    for (QWidget* stop : stops)
        if (shown.contains(stop))
            ordered << stop;
    Pressed pressed;
    if (index >= ordered.size()) {
        ADD_FAILURE() << "no " << name.toStdString();
        return pressed;
    }
    QWidget* control = ordered[index];
    does = expected(control, key);
    for (auto* button : panel.view->findChildren<QAbstractButton*>())
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [&pressed, button] { pressed.clicked << button->objectName(); });
    for (auto* row : panel.view->findChildren<SettingsRow*>())
        QObject::connect(row, &SettingsRow::clicked, row,
                         [&pressed, row] { pressed.clicked << row->objectName(); });
    // A menu runs its own loop; it is noted and closed from inside it.
    auto closeMenu = [&pressed] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            pressed.menuOpened = true;
            popup->close();
        }
    };
    QTimer::singleShot(0, closeMenu);
    control->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control, key);
    QCoreApplication::processEvents();
    closeMenu();
    return pressed;
}

TEST(PanelKeyboardTest, ReturnAndSpaceRunTheFocusedControlOnlyAndDownOpensItsMenu) {
    struct Case {
        State state;
        QStringList order;
    };
    for (const Case& c : {Case{State::app, appOrder()}, Case{State::device, deviceOrder()},
                          Case{State::collapsed, {"collapsedStrip"}}}) {
        for (qsizetype i = 0; i < c.order.size(); ++i) {
            const QString name = c.order[i];
            if (name == "urlField")
                continue; // Return there opens the typed URL: the field's own action
            const int index = int(c.order.mid(0, i).count(name));
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Down}) {
                SCOPED_TRACE(QStringLiteral("%1 #%2, key %3").arg(name).arg(index).arg(key).toStdString());
                Does does = Does::nothing;
                const Pressed pressed = press(c.state, name, index, key, does);
                switch (does) {
                case Does::menu:
                    EXPECT_TRUE(pressed.menuOpened);
                    EXPECT_TRUE(pressed.clicked.isEmpty() || pressed.clicked == QStringList{name})
                        << pressed.clicked.join(", ").toStdString();
                    break;
                case Does::action:
                    EXPECT_EQ(pressed.clicked, QStringList{name})
                        << "the focused control, once, and no other";
                    EXPECT_FALSE(pressed.menuOpened);
                    break;
                case Does::nothing:
                    EXPECT_TRUE(pressed.clicked.isEmpty()) << pressed.clicked.join(", ").toStdString();
                    EXPECT_FALSE(pressed.menuOpened);
                    break;
                }
            }
        }
    }
}

TEST(PanelKeyboardTest, FocusIsVisibleOnEveryStop) {
    for (const State state : {State::app, State::device, State::collapsed}) {
        Panel panel(state);
        ASSERT_TRUE(panel.show());
        for (QWidget* stop : test::tabStops(panel.view.get())) {
            SCOPED_TRACE(stop->objectName().toStdString());
            EXPECT_TRUE(test::focusIsVisible(stop));
        }
    }
}

// A control reached by Tab below the visible part of a card column is scrolled into view, also
// when Tab comes from outside the column (from the footer round to the bar, or back with
// Shift+Tab).
TEST(PanelKeyboardTest, AControlTabReachesIsScrolledIntoView) {
    Panel panel(State::app, 420);
    ASSERT_TRUE(panel.show());
    QWidget* toggle = panel.find("permissionsToggle");
    QWidget* picker = panel.find("devicePicker");
    picker->setFocus(Qt::TabFocusReason);
    QTest::keyClick(picker, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), toggle);
    QWidget* viewport = nullptr;
    for (QWidget* up = toggle; up; up = up->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(up)) {
            viewport = area->viewport();
            break;
        }
    ASSERT_NE(viewport, nullptr);
    const QRect shown = QRect(toggle->mapTo(viewport, QPoint(0, 0)), toggle->size());
    EXPECT_TRUE(viewport->rect().contains(shown)) << "the toggle is on screen";
}

// A card that refuses input while its change is applied gives the focus back to the control the
// change came from, rather than leaving it wherever Qt sent it meanwhile.
TEST(PanelKeyboardTest, ABusyCardGivesTheFocusBackWhenItIsDone) {
    Panel panel(State::app);
    ASSERT_TRUE(panel.show());
    QSignalSpy done(&panel.world.permissions, &Permissions::applyFinished);
    QWidget* revoke = panel.find("revoke.camera");
    revoke->setFocus(Qt::TabFocusReason);
    QTest::keyClick(revoke, Qt::Key_Space);
    ASSERT_TRUE(done.wait(5000));
    QCoreApplication::processEvents();
    ASSERT_FALSE(panel.world.permissions.isWorking());
    EXPECT_EQ(QApplication::focusWidget(), revoke);
}

QAccessibleInterface* face(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

TEST(PanelAccessibilityTest, EveryControlHasANameAndARoleInEveryState) {
    for (const State state : {State::app, State::device, State::collapsed}) {
        SCOPED_TRACE(int(state));
        Panel panel(state);
        ASSERT_TRUE(panel.show());
        if (state == State::app) {
            panel.view->simulatorBar()->setShowsLanguage(true);
            QCoreApplication::processEvents(); // rows just laid out are shown on the next turn
            ASSERT_NE(panel.find("languageMenu"), nullptr);
        }
        const auto problems = test::accessibilityProblems(panel.view.get());
        EXPECT_TRUE(problems.empty()) << test::describe(problems).toStdString();
    }
}

TEST(PanelAccessibilityTest, ChoicesTogglesAndProgressAreAnnouncedWithTheirValues) {
    Panel app(State::app);
    ASSERT_TRUE(app.show());
    // A menu is named after its row and announces the value it shows.
    struct Menu {
        const char* control;
        QString name;
        QString value;
    };
    app.view->simulatorBar()->setShowsLanguage(true);
    QCoreApplication::processEvents();
    for (const Menu& m :
         {Menu{"otherSpeedsMenu", "Other Speeds", "No Limit"},
          Menu{"languageMenu", "Language", LanguageCodes::languageName("en")},
          Menu{"regionMenu", "Region", LanguageCodes::regionName("US")},
          Menu{"appDataMenu", "App Data", "Open"}, Menu{"permissionsAllMenu", "Permissions", "All"}}) {
        SCOPED_TRACE(m.control);
        QWidget* menu = app.find(m.control);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(test::accessibleName(menu), m.name);
        EXPECT_EQ(test::accessibleValue(menu), m.value);
        EXPECT_EQ(face(menu)->role(), QAccessible::ButtonMenu);
    }

    // The quick network choices are a set of options of which at most one is chosen.
    for (const char* segment : {"segment.wifi", "segment.5g", "segment.off"}) {
        QAccessibleInterface* option = face(app.find(segment));
        EXPECT_EQ(option->role(), QAccessible::RadioButton) << segment;
        EXPECT_FALSE(option->state().checked) << segment << ": no quick profile is chosen";
    }

    // A tool that switches something says whether it is on.
    QAccessibleInterface* language = face(app.find("languageTool"));
    EXPECT_TRUE(language->state().checkable);
    EXPECT_TRUE(language->state().checked);
    EXPECT_FALSE(face(app.find("shakeTool"))->state().checkable) << "shake only acts";
    app.view->simulatorBar()->setShowsLanguage(false);
    QCoreApplication::processEvents();
    ASSERT_NE(app.find("languageTool"), nullptr);
    EXPECT_FALSE(face(app.find("languageTool"))->state().checked);

    // The device card says what runs while it runs.
    Panel device(State::device);
    ASSERT_TRUE(device.show());
    QWidget* download = device.find("downloadRow");
    download->setFocus(Qt::TabFocusReason);
    QTest::keyClick(download, Qt::Key_Space);
    auto* card = device.view->findChild<DeviceAppDataCard*>();
    ASSERT_EQ(card->working(), DeviceAppDataCard::kDownloading);
    QWidget* progress = device.find("progress");
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(face(progress)->role(), QAccessible::ProgressBar);
    EXPECT_TRUE(face(progress)->state().busy);
    EXPECT_EQ(test::accessibleName(progress), DeviceAppDataCard::kDownloading);
    device.devices.finishFlow();
    ASSERT_TRUE(QTest::qWaitFor([card] { return !card->working(); }, 5000));
    EXPECT_EQ(device.find("progress"), nullptr);
}

} // namespace
} // namespace quorvex
