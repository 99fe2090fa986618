#include "windows/ActionWindows.h"

#include "simulator/SimulatorApps.h"
#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/KeyboardAudit.h"
#include "support/QtPrinters.h"
#include "tools/Environment.h"
#include "windows/DeepLinkView.h"
#include "windows/PushView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace quorvex;
using Kind = SimulatorActions::Kind;

namespace {

SimulatorInstall install(const QString& udid) {
    return {udid, QStringLiteral("Sim ") + udid, "/b/" + udid.toStdString(), std::nullopt, {}};
}

SimulatorApp app(const QString& id, const QStringList& udids) {
    SimulatorApp result;
    result.id = id;
    result.name = QStringLiteral("App ") + id;
    result.bundleFolder = id + QStringLiteral(".app");
    result.devices = udids;
    for (const QString& udid : udids)
        result.installs.push_back(install(udid));
    return result;
}

// The apps of the world: "orders" on A, B and C; "notes" on A and B; "single" on C only.
class ActionWindowsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sharedDefaults().remove(QStringLiteral("actionPresets"));
        sharedDefaults().remove(QStringLiteral("actionHistory"));
        m_actions = std::make_unique<SimulatorActions>();
        m_fake.on({"**"});
        waitForScan();
    }

    void waitForScan() {
        QFuture<void> done = m_apps.refresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 5000));
        QCoreApplication::processEvents();
    }

    ActionWindows& windows(ActionWindowKind kind) {
        auto& slot = kind == ActionWindowKind::push ? m_push : m_deepLink;
        if (!slot)
            slot = std::make_unique<ActionWindows>(
                kind, m_apps, *m_actions, [this] { return m_target; }, [this] { return m_now; });
        return *slot;
    }

    template <typename T> T* find(ActionWindows& w, const char* name) {
        return w.window()->findChild<T*>(QString::fromLatin1(name));
    }

    // The visible rows of one section ("presetsSection" or "recentSection").
    int rows(ActionWindows& w, const char* section) {
        for (QWidget* candidate : w.window()->findChildren<QWidget*>(QString::fromLatin1(section)))
            if (!candidate->isHidden())
                return int(candidate->findChildren<QWidget*>(QStringLiteral("listRow")).size());
        return 0;
    }

    // A push and a link preset and one of each in the history, so both lists have buttons.
    void seedLists() {
        m_actions->savePreset({QUuid::createUuid(), "Saved push", Kind::push("Saved push", "{\"aps\":{}}")},
                              "orders");
        m_actions->savePreset({QUuid::createUuid(), "Saved link", Kind::deepLink("myapp://saved")}, "orders");
        m_actions->perform(Kind::push("p", SimulatorActions::pushTemplates()[0].payload), m_list[0],
                           m_list[0].installs[0]);
        m_actions->perform(Kind::deepLink("myapp://recent"), m_list[0], m_list[0].installs[0]);
    }

    int commands(const char* command) {
        int count = 0;
        for (const auto& args : m_fake.argumentLists())
            count += args.size() > 1 && args[1] == command;
        return count;
    }

    std::vector<SimulatorApp> m_list = {app("orders", {"A", "B", "C"}), app("notes", {"A", "B"}),
                                        app("single", {"C"})};
    test::FakeClock m_clock;
    SimulatorApps m_apps{m_clock, [this] { return SimulatorApps::ScanResult{m_list, {}}; }};
    std::unique_ptr<SimulatorActions> m_actions;
    std::optional<QString> m_target;
    QDateTime m_now = QDateTime(QDate(2026, 12, 10), QTime(12, 0));
    test::FakeXcrun m_fake;
    std::unique_ptr<ActionWindows> m_push;
    std::unique_ptr<ActionWindows> m_deepLink;
};

} // namespace

TEST_F(ActionWindowsFixture, OpeningSelectsTheTrackersTargetInstallElseTheFirst) {
    struct Case {
        std::optional<QString> target;
        QString expected;
    };
    const std::vector<Case> cases = {
        {QString("B"), "B"}, {std::nullopt, "A"}, {QString("Z"), "A"}, {QString("C"), "C"}};
    ActionWindows& push = windows(ActionWindowKind::push);
    for (const Case& c : cases) {
        m_target = c.target;
        push.open(m_list[0]);
        QCoreApplication::processEvents();
        EXPECT_EQ(push.state().udid(), c.expected);
        EXPECT_EQ(find<QComboBox>(push, "devicePicker")->currentData().toString(), c.expected);
    }
    EXPECT_EQ(push.window()->windowTitle(), "Send Push Notification");
    EXPECT_TRUE(push.window()->isVisible());
    EXPECT_EQ(ActionWindows::title(ActionWindowKind::deepLink), "Open URL");
}

TEST_F(ActionWindowsFixture, ReopeningForAnotherAppKeepsTheTrackersInstallOnlyAUserPickResetsIt) {
    ActionWindows& push = windows(ActionWindowKind::push);
    m_target = "A";
    push.open(m_list[0]);
    m_target = "B";
    push.open(m_list[1]); // "notes" is on A and B: the tracker's B must survive the app change
    QCoreApplication::processEvents();
    EXPECT_EQ(push.state().appID(), "notes");
    EXPECT_EQ(push.state().udid(), "B");

    // The user picks "orders" in the App picker: its first install is selected.
    auto* picker = find<QComboBox>(push, "appPicker");
    const int orders = picker->findData(QStringLiteral("orders"));
    picker->setCurrentIndex(orders);
    emit picker->activated(orders);
    EXPECT_EQ(push.state().appID(), "orders");
    EXPECT_EQ(push.state().udid(), "A");
}

TEST_F(ActionWindowsFixture, TypedTextSurvivesReopeningForAnotherAppInTheSameWindow) {
    ActionWindows& links = windows(ActionWindowKind::deepLink);
    links.open(m_list[0]);
    QWidget* first = links.window();
    QTest::keyClicks(find<QLineEdit>(links, "urlField"), "myapp://x");
    links.window()->close();
    links.open(m_list[1]);
    EXPECT_EQ(links.window(), first);
    EXPECT_EQ(find<QLineEdit>(links, "urlField")->text(), "myapp://x");
    EXPECT_EQ(links.state().url(), "myapp://x");
}

TEST_F(ActionWindowsFixture, UrlNeedsToParseStrictlyAndHaveAScheme) {
    struct Case {
        const char* text;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"myapp:", true},
        {"myapp://orders/12345", true},
        {"https://example.com/universal-link", true},
        {"orders/12345", false},
        {"", false},
        {"http://exa mple.com", false}, // a space in the host fails strict parsing
        {" myapp://x", false},          // used as typed, not trimmed
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeepLinkView::isValidURL(QString::fromUtf8(c.text)), c.valid) << c.text;

    ActionWindows& links = windows(ActionWindowKind::deepLink);
    links.open(m_list[0]);
    auto* send = find<QPushButton>(links, "sendButton");
    links.state().setUrl("orders/12345");
    EXPECT_FALSE(send->isEnabled());
    links.state().setUrl("myapp:");
    EXPECT_TRUE(send->isEnabled());
    QTest::keyClick(find<QLineEdit>(links, "urlField"), Qt::Key_Return);
    ASSERT_FALSE(m_actions->history().empty());
    EXPECT_EQ(m_actions->history().front().kind, Kind::deepLink("myapp:"));
    EXPECT_EQ(m_actions->history().front().udid, "A");
}

TEST_F(ActionWindowsFixture, ReturnInAFieldRunsTheSendButtonOnceAndNothingWhileItIsOff) {
    ActionWindows& push = windows(ActionWindowKind::push);
    ActionWindows& links = windows(ActionWindowKind::deepLink);
    push.open(m_list[0]);
    links.open(m_list[0]);
    links.state().setUrl("myapp://orders");
    const auto sent = [this](const char* command) {
        int count = 0;
        for (const auto& args : m_fake.argumentLists())
            count += args.size() > 1 && args[1] == command;
        return count;
    };
    struct Case {
        const char* what;
        ActionWindows& window;
        const char* field;
        const char* command; // of simctl
        Qt::Key key;
    };
    const Case cases[] = {
        {"preset name of the push window", push, "presetName", "push", Qt::Key_Return},
        {"preset name of the push window, keypad", push, "presetName", "push", Qt::Key_Enter},
        {"URL field", links, "urlField", "openurl", Qt::Key_Return},
        {"preset name of the open-URL window", links, "presetName", "openurl", Qt::Key_Return},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = sent(c.command);
        QTest::keyClick(find<QLineEdit>(c.window, c.field), c.key,
                        c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(sent(c.command), before + 1);
    }
    // A new line in the payload stays a new line.
    const int pushes = sent("push");
    auto* editor = find<QPlainTextEdit>(push, "payloadEditor");
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(sent("push"), pushes);
    EXPECT_TRUE(push.state().payload().endsWith("}\n"));
    // With the send button off, Return does nothing.
    push.state().setPayload("[1]");
    links.state().setUrl("orders/12345");
    QTest::keyClick(find<QLineEdit>(push, "presetName"), Qt::Key_Return);
    QTest::keyClick(find<QLineEdit>(links, "urlField"), Qt::Key_Return);
    EXPECT_EQ(sent("push"), pushes);
    EXPECT_EQ(sent("openurl"), 2);
}

TEST_F(ActionWindowsFixture, PresetNamesAreSavedUntrimmedAndBlankOnesCannotBeSaved) {
    ActionWindows& push = windows(ActionWindowKind::push);
    push.open(m_list[0]);
    auto* name = find<QLineEdit>(push, "presetName");
    auto* save = find<QPushButton>(push, "savePreset");
    name->setText("   \t");
    EXPECT_FALSE(save->isEnabled());
    name->setText(" a ");
    EXPECT_TRUE(save->isEnabled());
    save->click();
    ASSERT_EQ(m_actions->presets().at("orders").size(), 1u);
    EXPECT_EQ(m_actions->presets().at("orders")[0].name, " a ");
    EXPECT_EQ(m_actions->presets().at("orders")[0].kind,
              Kind::push(" a ", SimulatorActions::pushTemplates()[0].payload));
    EXPECT_EQ(name->text(), "") << "a save empties the name";
}

TEST_F(ActionWindowsFixture, PushesAreNamedTestUnlessAPresetNameIsGiven) {
    ActionWindows& push = windows(ActionWindowKind::push);
    m_target = "B";
    push.open(m_list[0]);
    auto* send = find<QPushButton>(push, "sendButton");
    send->click();
    ASSERT_FALSE(m_actions->history().empty());
    EXPECT_EQ(m_actions->history().front().kind.asPush()->name, "Test");
    EXPECT_EQ(m_actions->history().front().udid, "B");
    find<QLineEdit>(push, "presetName")->setText(" Order ");
    send->click();
    EXPECT_EQ(m_actions->history().front().kind.asPush()->name, " Order ");

    // An invalid payload disables sending and says why.
    push.state().setPayload("[1]");
    EXPECT_FALSE(send->isEnabled());
    EXPECT_EQ(find<QLabel>(push, "validationLabel")->property("message").toString(),
              "The payload must be a JSON object.");
}

TEST_F(ActionWindowsFixture, TemplatesReplaceTheWholePayloadAndKeepThePresetName) {
    // The four payloads, byte for byte.
    const std::vector<std::pair<QString, QString>> expected = {
        {"Alert", "{\n  \"aps\": {\n    \"alert\": { \"title\": \"Hello\", \"body\": \"This is a test "
                  "notification.\" },\n    \"sound\": \"default\"\n  }\n}"},
        {"Alert with Badge",
         "{\n  \"aps\": {\n    \"alert\": { \"title\": \"3 new messages\", \"body\": \"Tap to "
         "read them.\" },\n    \"badge\": 3,\n    \"sound\": \"default\"\n  }\n}"},
        {"Silent Background", "{\n  \"aps\": { \"content-available\": 1 },\n  \"refresh\": true\n}"},
        {"Custom Data", "{\n  \"aps\": { \"alert\": \"Your order shipped\", \"sound\": \"default\" },\n  "
                        "\"orderID\": \"12345\",\n  \"deepLink\": \"myapp://orders/12345\"\n}"},
    };
    const auto& templates = SimulatorActions::pushTemplates();
    ASSERT_EQ(templates.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(templates[i].name, expected[i].first);
        EXPECT_EQ(templates[i].payload.toUtf8(), expected[i].second.toUtf8());
    }
    ActionWindowState fresh;
    EXPECT_EQ(fresh.payload().toUtf8().size(), 116);

    ActionWindows& push = windows(ActionWindowKind::push);
    push.open(m_list[0]);
    find<QLineEdit>(push, "presetName")->setText("kept");
    auto* menu = find<QToolButton>(push, "templatesMenu")->menu();
    ASSERT_EQ(menu->actions().size(), 4);
    menu->actions()[2]->trigger();
    EXPECT_EQ(push.state().payload(), expected[2].second);
    EXPECT_EQ(find<QPlainTextEdit>(push, "payloadEditor")->toPlainText(), expected[2].second);
    EXPECT_EQ(find<QLineEdit>(push, "presetName")->text(), "kept");
}

TEST_F(ActionWindowsFixture, ListsShowSixPresetsAndFourRecentsOfTheWindowsKind) {
    for (int i = 0; i < 7; ++i)
        m_actions->savePreset(
            {QUuid::createUuid(), QString("push %1").arg(i), Kind::push(QString("push %1").arg(i), "{}")},
            "orders");
    for (int i = 0; i < 3; ++i)
        m_actions->savePreset(
            {QUuid::createUuid(), QString("link %1").arg(i), Kind::deepLink("myapp://" + QString::number(i))},
            "orders");
    ActionWindows& push = windows(ActionWindowKind::push);
    ActionWindows& links = windows(ActionWindowKind::deepLink);
    push.open(m_list[0]);
    links.open(m_list[0]);
    EXPECT_EQ(rows(push, "presetsSection"), 6);
    EXPECT_EQ(rows(links, "presetsSection"), 3);
    EXPECT_EQ(rows(push, "recentSection"), 0);

    // Five pushes and two links, of two apps, in the history.
    for (int i = 0; i < 5; ++i)
        m_actions->perform(Kind::push(QString("p%1").arg(i), SimulatorActions::pushTemplates()[0].payload),
                           m_list[i % 2], m_list[i % 2].installs[0]);
    for (int i = 0; i < 2; ++i)
        m_actions->perform(Kind::deepLink(QString("myapp://%1").arg(i)), m_list[1], m_list[1].installs[1]);
    EXPECT_EQ(rows(push, "recentSection"), 4);
    EXPECT_EQ(rows(links, "recentSection"), 2);

    // The heading names the repeat key the way this desktop writes key combinations.
    QStringList headings;
    for (QLabel* label : push.window()->findChildren<QLabel*>(QStringLiteral("sectionTitle")))
        if (!label->isHidden())
            headings << label->text();
    EXPECT_TRUE(headings.contains("Recent · Meta+Ctrl+Alt+R repeats the latest"))
        << headings.join(" | ").toStdString();
}

TEST_F(ActionWindowsFixture, PresetRowsShowTheirPayloadOnOneLineAndEditLoadsThem) {
    const QString alert = SimulatorActions::pushTemplates()[0].payload;
    const QString line = ActionScaffold::oneLinePayload(alert);
    EXPECT_FALSE(line.contains(u'\n'));
    EXPECT_FALSE(line.contains(QStringLiteral("  ")));
    EXPECT_EQ(line,
              "{ \"aps\": { \"alert\": { \"title\": \"Hello\", \"body\": \"This is a test notification.\" "
              "}, \"sound\": \"default\" } }");

    m_actions->savePreset({QUuid::createUuid(), "Saved", Kind::push("inner name", "{\"aps\":{}}")}, "orders");
    ActionWindows& push = windows(ActionWindowKind::push);
    push.open(m_list[0]);
    auto* edit = find<QPushButton>(push, "editPreset");
    ASSERT_NE(edit, nullptr);
    edit->click();
    EXPECT_EQ(push.state().payload(), "{\"aps\":{}}");
    EXPECT_EQ(find<QLineEdit>(push, "presetName")->text(), "Saved");
}

TEST_F(ActionWindowsFixture, OneInstallDisablesTheSimulatorPickerAndAMissingAppDisablesSending) {
    ActionWindows& push = windows(ActionWindowKind::push);
    push.open(m_list[2]);
    auto* devices = find<QComboBox>(push, "devicePicker");
    EXPECT_FALSE(devices->isEnabled());
    EXPECT_EQ(devices->currentData().toString(), "C");

    SimulatorApp gone = app("gone", {"A"});
    push.open(gone);
    EXPECT_FALSE(find<QLabel>(push, "appIcon")->isVisibleTo(push.window()));
    EXPECT_EQ(devices->count(), 0);
    EXPECT_FALSE(find<QPushButton>(push, "sendButton")->isEnabled());
}

// Tab walks the window top to bottom, left to right, and comes back to where it began; every
// control that takes focus shows it.
TEST_F(ActionWindowsFixture, TabReachesEveryControlInReadingOrderAndFocusShows) {
    seedLists();
    struct Case {
        ActionWindowKind kind;
        QStringList order;
    };
    const Case cases[] = {
        {ActionWindowKind::push,
         {"appPicker", "devicePicker", "templatesMenu", "payloadEditor", "presetName", "sendButton",
          "editPreset", "runPreset", "deletePreset", "repeatRecent"}},
        {ActionWindowKind::deepLink,
         {"appPicker", "devicePicker", "urlField", "presetName", "sendButton", "editPreset", "runPreset",
          "deletePreset", "repeatRecent"}},
    };
    for (const Case& c : cases) {
        ActionWindows& w = windows(c.kind);
        SCOPED_TRACE(ActionWindows::title(c.kind).toStdString());
        w.open(m_list[0]);
        w.state().setUrl("myapp://orders");
        ASSERT_TRUE(test::showActive(w.window()));
        QWidget* start = find<QWidget>(w, "appPicker");
        const std::vector<QWidget*> walked = test::walkTabOrder(start);
        EXPECT_EQ(test::objectNames(walked), c.order);
        QStringList stops = test::objectNames(test::tabStops(w.window()));
        QStringList seen = test::objectNames(walked);
        stops.sort();
        seen.sort();
        EXPECT_EQ(seen, stops) << "every control that takes focus is on the walk, once";
        for (QWidget* stop : test::tabStops(w.window()))
            EXPECT_TRUE(test::focusIsVisible(stop)) << stop->objectName().toStdString();
        w.window()->hide();
    }
}

TEST_F(ActionWindowsFixture, EveryControlIsNamedForScreenReadersAndPayloadValidityIsAnnounced) {
    seedLists();
    for (const ActionWindowKind kind : {ActionWindowKind::push, ActionWindowKind::deepLink}) {
        ActionWindows& w = windows(kind);
        w.open(m_list[0]);
        w.window()->show();
        EXPECT_EQ(test::describe(test::accessibilityProblems(w.window())), QString())
            << ActionWindows::title(kind).toStdString();
    }
    ActionWindows& push = windows(ActionWindowKind::push);
    auto* editor = find<QPlainTextEdit>(push, "payloadEditor");
    EXPECT_EQ(test::accessibleName(editor), "Payload");
    const auto description = [editor] {
        return QAccessible::queryAccessibleInterface(editor)->text(QAccessible::Description);
    };
    EXPECT_EQ(description(), "Valid payload");
    push.state().setPayload("[1]");
    EXPECT_EQ(description(), "The payload must be a JSON object.");
}

// What a key does depends on what has the focus: a focused button answers for itself, a field or a
// picker hands Return to the send button, Escape does nothing in these windows.
TEST_F(ActionWindowsFixture, KeysDoWhatTheFocusedControlSays) {
    struct Case {
        const char* focus;
        Qt::Key key;
        int pushes;  // sent by the key
        int presets; // stored afterwards
        const char* payloadAfter;
    };
    const QString alert = SimulatorActions::pushTemplates()[0].payload;
    const Case cases[] = {
        {"appPicker", Qt::Key_Return, 1, 1, nullptr},
        {"presetName", Qt::Key_Return, 1, 1, nullptr},
        {"sendButton", Qt::Key_Return, 1, 1, nullptr},
        {"sendButton", Qt::Key_Space, 1, 1, nullptr},
        {"savePreset", Qt::Key_Return, 0, 2, nullptr},
        {"savePreset", Qt::Key_Space, 0, 2, nullptr},
        {"editPreset", Qt::Key_Return, 0, 1, "{\"aps\":{}}"},
        {"runPreset", Qt::Key_Return, 1, 1, nullptr},
        {"deletePreset", Qt::Key_Return, 0, 0, nullptr},
        {"deletePreset", Qt::Key_Space, 0, 0, nullptr},
        {"repeatRecent", Qt::Key_Return, 1, 1, nullptr},
        {"payloadEditor", Qt::Key_Return, 0, 1, nullptr}, // a new line
        {"presetName", Qt::Key_Escape, 0, 1, nullptr},
        {"sendButton", Qt::Key_Escape, 0, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        sharedDefaults().remove(QStringLiteral("actionPresets"));
        sharedDefaults().remove(QStringLiteral("actionHistory"));
        m_push.reset();
        m_actions = std::make_unique<SimulatorActions>();
        m_actions->savePreset({QUuid::createUuid(), "Saved push", Kind::push("Saved push", "{\"aps\":{}}")},
                              "orders");
        m_actions->perform(Kind::push("p", alert), m_list[0], m_list[0].installs[0]);
        ActionWindows& push = windows(ActionWindowKind::push);
        push.open(m_list[0]);
        find<QLineEdit>(push, "presetName")->setText("Named");
        ASSERT_TRUE(test::showActive(push.window()));
        QWidget* focus = find<QWidget>(push, c.focus);
        ASSERT_NE(focus, nullptr);
        focus->setFocus(Qt::TabFocusReason);
        const int before = commands("push");
        QTest::keyClick(focus, c.key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(commands("push") - before, c.pushes);
        const auto stored = m_actions->presets().find("orders");
        EXPECT_EQ(stored == m_actions->presets().end() ? 0 : int(stored->second.size()), c.presets);
        if (c.payloadAfter) {
            EXPECT_EQ(push.state().payload(), c.payloadAfter);
        }
        EXPECT_TRUE(push.window()->isVisible()) << "no key closes the window";
    }
}

// The templates menu opens from the keyboard and its arrows and Return choose a template.
TEST_F(ActionWindowsFixture, TheTemplatesMenuWorksFromTheKeyboard) {
    ActionWindows& push = windows(ActionWindowKind::push);
    push.open(m_list[0]);
    ASSERT_TRUE(test::showActive(push.window()));
    auto* templates = find<QToolButton>(push, "templatesMenu");
    templates->setFocus(Qt::TabFocusReason);
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        QWidget* menu = QApplication::activePopupWidget();
        opened = menu != nullptr;
        if (!menu)
            return;
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(templates, Qt::Key_Space);
    EXPECT_TRUE(opened);
    EXPECT_EQ(push.state().payload(), SimulatorActions::pushTemplates()[1].payload);
    EXPECT_EQ(commands("push"), 0) << "choosing a template sends nothing";
}
