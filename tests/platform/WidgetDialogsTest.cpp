#include "platform/WidgetDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
            EXPECT_TRUE(first->isDefault());
            EXPECT_TRUE(first->property("destructive").toBool());
            alert->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(index))->click();
        });
        WidgetDialogs dialogs;
        EXPECT_EQ(dialogs.runAlert(confirmation()), Dialogs::kFirstButton + index);
    }
}

TEST(WidgetDialogsTest, ReturnConfirmsAndEscapeCancels) {
    struct Case {
        Qt::Key key;
        int expected;
    };
    for (const Case c : {Case{Qt::Key_Return, 1000}, Case{Qt::Key_Escape, 1001}}) {
        SCOPED_TRACE(c.key);
        whenShown([c](QWidget* alert) { QTest::keyClick(alert, c.key); });
        WidgetDialogs dialogs;
        EXPECT_EQ(dialogs.runAlert(confirmation()), c.expected);
    }
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
    alert.acceptsFirstButton = [&] {
        ++asked;
        return accept;
    };
    WidgetDialogs dialogs;
    EXPECT_EQ(dialogs.runAlert(alert), Dialogs::kFirstButton);
    EXPECT_EQ(asked, 3);
}
