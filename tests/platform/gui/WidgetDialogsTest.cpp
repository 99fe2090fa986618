#include "platform/gui/WidgetDialogs.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <memory>

using namespace quorvex;

namespace {

// Runs `act` on the alert once it is up; the alert is modal, so this is the only way in.
void whenShown(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* alert = QApplication::activeModalWidget();
        ASSERT_NE(alert, nullptr);
        act(alert);
    });
}

Alert confirmation() {
    Alert alert;
    alert.message = QStringLiteral("Uninstall Demo?");
    alert.informativeText = QStringLiteral("Demo and its data are removed.");
    alert.style = Alert::Style::Warning;
    alert.buttons = {{QStringLiteral("Uninstall"), true}, {QStringLiteral("Cancel"), false}};
    return alert;
}

} // namespace

TEST(WidgetDialogsTest, EachButtonAnswersItsPositionFromOneThousand) {
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        whenShown([index](QWidget* alert) {
            EXPECT_EQ(alert->findChild<QLabel*>(QStringLiteral("alertMessage"))->text(),
                      QStringLiteral("Uninstall Demo?"));
            EXPECT_EQ(alert->findChild<QLabel*>(QStringLiteral("alertInformativeText"))->text(),
                      QStringLiteral("Demo and its data are removed."));
            auto* first = alert->findChild<QPushButton*>(QStringLiteral("alertButton0"));
            EXPECT_TRUE(first->property("destructive").toBool());
            alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(index))->click();
        });
        WidgetDialogs dialogs;
        EXPECT_EQ(dialogs.runAlert(confirmation()), Dialogs::kFirstButton + index);
    }
}

// Return answers the default button, Escape the way out; a destructive first button is never the
// default, so neither key can destroy anything.
TEST(WidgetDialogsTest, ReturnAndEscapeNeverChooseADestructiveButton) {
    const AlertButton uninstall{QStringLiteral("Uninstall"), true};
    const AlertButton save{QStringLiteral("Save"), false};
    const AlertButton cancel{QStringLiteral("Cancel"), false};
    const AlertButton other{QStringLiteral("Keep Both"), false};
    constexpr int none = -1; // the key answers nothing; the test then clicks the last button
    struct Case {
        const char* name;
        std::vector<AlertButton> buttons;
        int defaultIndex; // the button drawn as default, or none
        int onReturn;
        int onEscape;
    };
    const Case cases[] = {
        {"plain confirmation", {save, cancel}, 0, 1000, 1001},
        {"destructive with Cancel", {uninstall, cancel}, 1, 1001, 1001},
        {"destructive without Cancel", {uninstall, other}, none, none, none},
        {"lone destructive button", {uninstall}, none, none, none},
        {"lone plain button", {save}, 0, 1000, 1000},
    };
    for (const Case& c : cases) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            SCOPED_TRACE(std::string(c.name) + (key == Qt::Key_Return ? " / Return" : " / Escape"));
            const int lastIndex = int(c.buttons.size()) - 1;
            whenShown([&c, key, lastIndex](QWidget* alert) {
                for (int index = 0; index <= lastIndex; ++index) {
                    auto* button = alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(index));
                    EXPECT_EQ(button->isDefault(), index == c.defaultIndex) << index;
                    EXPECT_FALSE(button->autoDefault()) << index;
                }
                EXPECT_FALSE(alert->findChild<QPushButton*>(QStringLiteral("alertButton0"))->hasFocus() &&
                             c.buttons.front().destructive)
                    << "Space must not reach a destructive button either";
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : alert, key);
                // Still open: leave by the last button, whose code tells it was not the key.
                if (alert->isVisible())
                    alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(lastIndex))->click();
            });
            Alert alert = confirmation();
            alert.buttons = c.buttons;
            const int expected = key == Qt::Key_Return ? c.onReturn : c.onEscape;
            WidgetDialogs dialogs;
            EXPECT_EQ(dialogs.runAlert(alert), expected == none ? 1000 + lastIndex : expected);
        }
    }
}

TEST(WidgetDialogsTest, AmpersandsInButtonTitlesAreShownAsWritten) {
    whenShown([](QWidget* alert) {
        auto* first = alert->findChild<QPushButton*>(QStringLiteral("alertButton0"));
        EXPECT_EQ(first->text(), QStringLiteral("Save && Quit")) << "escaped for QPushButton";
        EXPECT_TRUE(first->shortcut().isEmpty()) << "no mnemonic made of the title";
        first->click();
    });
    Alert alert = confirmation();
    alert.buttons = {{QStringLiteral("Save & Quit"), false}, {QStringLiteral("Cancel"), false}};
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), 1000);
}

TEST(WidgetDialogsTest, AProposedValueIsSelectedSoTypingReplacesIt) {
    QWidget accessory;
    auto* name = new QLineEdit(QStringLiteral("Snapshot 1"), &accessory);
    auto* empty = new QLineEdit(&accessory);
    (new QVBoxLayout(&accessory))->addWidget(name);
    accessory.layout()->addWidget(empty);
    whenShown([&](QWidget* alert) {
        QTimer::singleShot(0, [&, alert] {
            EXPECT_EQ(name->selectedText(), QStringLiteral("Snapshot 1"));
            QTest::keyClicks(name, QStringLiteral("Before update"));
            alert->findChild<QPushButton*>(QStringLiteral("alertButton0"))->click();
        });
    });
    Alert alert;
    alert.message = QStringLiteral("Save a snapshot");
    alert.accessory = &accessory;
    alert.initialFocus = name;
    alert.buttons = {{QStringLiteral("Save"), false}, {QStringLiteral("Cancel"), false}};
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), 1000);
    EXPECT_EQ(name->text(), QStringLiteral("Before update"));
}

TEST(WidgetDialogsTest, AlertWithoutButtonsShowsOkAndHandsTheAccessoryBack) {
    auto field = std::make_unique<QLineEdit>();
    whenShown([&field](QWidget* alert) {
        EXPECT_EQ(field->window(), alert);
        EXPECT_TRUE(field->isVisible());
        auto* ok = alert->findChild<QPushButton*>(QStringLiteral("alertButton0"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
        EXPECT_EQ(alert->findChild<QPushButton*>(QStringLiteral("alertButton1")), nullptr);
        field->setText(QStringLiteral("typed"));
        QTest::keyClick(alert, Qt::Key_Escape);
    });
    Alert alert;
    alert.message = QStringLiteral("Block a host");
    alert.accessory = field.get();
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), Dialogs::kFirstButton);
    EXPECT_EQ(field->parent(), nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("typed"));
}

TEST(WidgetDialogsTest, AFirstButtonTheAlertRefusesKeepsItOpen) {
    int asked = 0;
    bool accept = false;
    whenShown([&](QWidget* alert) {
        auto* first = alert->findChild<QPushButton*>(QStringLiteral("alertButton0"));
        first->click();
        QTest::keyClick(alert, Qt::Key_Return);
        EXPECT_EQ(asked, 2);
        EXPECT_TRUE(alert->isVisible()) << "refused twice, still open";
        accept = true;
        first->click();
    });
    Alert alert = confirmation();
    alert.buttons.front().destructive = false; // so that Return reaches it
    alert.acceptsFirstButton = [&] {
        ++asked;
        return accept;
    };
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), Dialogs::kFirstButton);
    EXPECT_EQ(asked, 3);
}

// Return belongs to the focused button, whichever it is: a focused Cancel cancels and never runs
// the default. A text field hands Return to the default button; Space presses the focused one.
TEST(WidgetDialogsTest, AFocusedButtonAnswersReturnAndSpaceItself) {
    const AlertButton uninstall{QStringLiteral("Uninstall"), true};
    const AlertButton save{QStringLiteral("Save"), false};
    const AlertButton cancel{QStringLiteral("Cancel"), false};
    const AlertButton other{QStringLiteral("Keep Both"), false};
    constexpr int field = -1;
    constexpr int stillOpen = -1;
    struct Case {
        std::vector<AlertButton> buttons;
        int focus; // a button's index, or the accessory's field
        Qt::Key key;
        int answer; // the code, or stillOpen
    };
    const Case cases[] = {
        {{save, cancel}, 1, Qt::Key_Return, 1001},
        {{save, cancel}, 1, Qt::Key_Enter, 1001},
        {{save, cancel}, 1, Qt::Key_Space, 1001},
        {{save, cancel}, 0, Qt::Key_Space, 1000},
        {{save, other, cancel}, 1, Qt::Key_Return, 1001},
        {{save, cancel}, field, Qt::Key_Return, 1000},
        {{save, cancel}, field, Qt::Key_Escape, 1001},
        {{save, cancel}, 0, Qt::Key_Escape, 1001},
        // Chosen on purpose: the user moved to it.
        {{uninstall, cancel}, 0, Qt::Key_Return, 1000},
        {{uninstall, other}, field, Qt::Key_Return, stillOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 buttons, focus %2, %3")
                         .arg(c.buttons.size())
                         .arg(c.focus)
                         .arg(QTest::toString(c.key))
                         .toStdString());
        QWidget accessory;
        auto* text = new QLineEdit(&accessory);
        (new QVBoxLayout(&accessory))->addWidget(text);
        const int last = int(c.buttons.size()) - 1;
        whenShown([&](QWidget* alert) {
            QTimer::singleShot(0, [&, alert] {
                QWidget* focus =
                    c.focus == field
                        ? static_cast<QWidget*>(text)
                        : alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(c.focus));
                focus->setFocus(Qt::TabFocusReason);
                QTest::keyClick(focus, c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
                if (alert->isVisible())
                    alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(last))->click();
            });
        });
        Alert alert = confirmation();
        alert.buttons = c.buttons;
        alert.accessory = &accessory;
        WidgetDialogs dialogs;
        EXPECT_EQ(dialogs.runAlert(alert), c.answer == stillOpen ? 1000 + last : c.answer);
    }
}

// Tab goes round the field and the buttons in reading order; a screen reader hears the message.
TEST(WidgetDialogsTest, TabGoesRoundTheAlertAndItsMessageIsRead) {
    QWidget accessory;
    auto* text = new QLineEdit(&accessory);
    text->setObjectName(QStringLiteral("field"));
    text->setAccessibleName(QStringLiteral("Name"));
    (new QVBoxLayout(&accessory))->addWidget(text);
    QStringList walked;
    QString description;
    QString problems = QStringLiteral("not shown");
    whenShown([&](QWidget* alert) {
        QTimer::singleShot(0, [&, alert] {
            QWidget* start = QApplication::focusWidget();
            ASSERT_NE(start, nullptr);
            walked << start->objectName();
            for (int press = 0; press < 5; ++press) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                if (QApplication::focusWidget() == start)
                    break;
                walked << QApplication::focusWidget()->objectName();
            }
            description = QAccessible::queryAccessibleInterface(alert)->text(QAccessible::Description);
            problems.clear();
            for (QWidget* child : alert->findChildren<QWidget*>()) {
                if (!child->isVisible() || !(child->focusPolicy() & Qt::TabFocus))
                    continue;
                if (QAccessible::queryAccessibleInterface(child)->text(QAccessible::Name).isEmpty())
                    problems += child->objectName() + QLatin1Char(' ');
            }
            alert->findChild<QPushButton*>(QStringLiteral("alertButton1"))->click();
        });
    });
    Alert alert = confirmation();
    alert.buttons = {{QStringLiteral("Save"), false}, {QStringLiteral("Cancel"), false}};
    alert.accessory = &accessory;
    alert.initialFocus = text;
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), 1001);
    EXPECT_EQ(walked, (QStringList{"field", "alertButton1", "alertButton0"}));
    EXPECT_EQ(description, QStringLiteral("Uninstall Demo? Demo and its data are removed."));
    EXPECT_EQ(problems, QString());
}

namespace {

// Runs `act` on the open panel once it is up, then cancels it unless `act` closed it.
void whenPanelShown(std::function<void(QFileDialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(panel, nullptr);
        act(panel);
        if (panel->isVisible())
            panel->reject();
    });
}

} // namespace

TEST(WidgetDialogsTest, TheOpenPanelStartsInTheGivenFolderElseTheLastOneElseHome) {
    QTemporaryDir given;
    QTemporaryDir visited;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path())) << "a working folder the panel must ignore";
    WidgetDialogs dialogs;
    auto startsIn = [&](const std::filesystem::path& directory) {
        QString seen;
        whenPanelShown([&](QFileDialog* panel) { seen = panel->directory().absolutePath(); });
        OpenPanel panel;
        panel.directory = directory;
        dialogs.runOpenPanel(panel);
        return seen;
    };
    EXPECT_EQ(startsIn({}), QDir::homePath()) << "nothing used yet: home, not the working folder";
    EXPECT_EQ(startsIn(given.path().toStdString()), given.path());

    // The user goes to another folder and picks a file there.
    QFile file(visited.filePath(QStringLiteral("push.pem")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    whenPanelShown([&](QFileDialog* panel) {
        panel->setDirectory(visited.path());
        panel->selectFile(file.fileName());
        static_cast<QDialog*>(panel)->accept(); // QFileDialog hides its override
    });
    OpenPanel choose;
    choose.directory = given.path().toStdString();
    const auto chosen = dialogs.runOpenPanel(choose);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(QString::fromStdString(chosen.front().string()), file.fileName());

    EXPECT_EQ(startsIn({}), visited.path()) << "without a folder: where the last panel ended";
    EXPECT_EQ(startsIn(given.path().toStdString()), given.path()) << "a given folder still wins";
}
