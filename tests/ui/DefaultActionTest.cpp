#include "ui/DefaultAction.h"

#include "support/KeyboardAudit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// A sheet with a default "Move to Trash" button beside "Cancel", as the program's sheets have.
struct Sheet {
    QWidget view;
    QLineEdit* field = new QLineEdit;
    QCheckBox* option = new QCheckBox(QStringLiteral("Option"));
    QPlainTextEdit* editor = new QPlainTextEdit;
    QPushButton* cancel = new QPushButton(QStringLiteral("Cancel"));
    QPushButton* confirm = new QPushButton(QStringLiteral("Move to Trash"));
    int cancels = 0;
    int confirms = 0;

    Sheet() {
        auto* layout = new QVBoxLayout(&view);
        for (QWidget* w :
             {static_cast<QWidget*>(field), static_cast<QWidget*>(option), static_cast<QWidget*>(editor),
              static_cast<QWidget*>(cancel), static_cast<QWidget*>(confirm)})
            layout->addWidget(w);
        QObject::connect(cancel, &QPushButton::clicked, [this] { ++cancels; });
        QObject::connect(confirm, &QPushButton::clicked, [this] { ++confirms; });
        DefaultAction::install(&view, confirm);
    }
};

TEST(DefaultActionTest, TheFocusedControlDecidesWhatAKeyDoes) {
    struct Case {
        const char* focus; // field, option, editor, cancel or confirm
        Qt::Key key;
        bool confirmEnabled;
        int confirms;
        int cancels;
    };
    const Case cases[] = {
        {"field", Qt::Key_Return, true, 1, 0},   {"field", Qt::Key_Enter, true, 1, 0},
        {"field", Qt::Key_Return, false, 0, 0},  {"option", Qt::Key_Return, true, 1, 0},
        {"editor", Qt::Key_Return, true, 0, 0}, // a new line, not the action
        {"cancel", Qt::Key_Return, true, 0, 1}, // never confirms from a focused Cancel
        {"cancel", Qt::Key_Enter, true, 0, 1},   {"cancel", Qt::Key_Space, true, 0, 1},
        {"confirm", Qt::Key_Return, true, 1, 0}, {"confirm", Qt::Key_Space, true, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        Sheet sheet;
        sheet.confirm->setEnabled(c.confirmEnabled);
        ASSERT_TRUE(test::showActive(&sheet.view));
        const std::string name = c.focus;
        QWidget* focus = name == "field"    ? static_cast<QWidget*>(sheet.field)
                         : name == "option" ? static_cast<QWidget*>(sheet.option)
                         : name == "editor" ? static_cast<QWidget*>(sheet.editor)
                         : name == "cancel" ? static_cast<QWidget*>(sheet.cancel)
                                            : static_cast<QWidget*>(sheet.confirm);
        focus->setFocus();
        QTest::keyClick(focus, c.key);
        EXPECT_EQ(sheet.confirms, c.confirms);
        EXPECT_EQ(sheet.cancels, c.cancels);
    }
}

TEST(DefaultActionTest, ModifiedReturnIsLeftAlone) {
    Sheet sheet;
    ASSERT_TRUE(test::showActive(&sheet.view));
    sheet.field->setFocus();
    QTest::keyClick(sheet.field, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(sheet.field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(sheet.confirms, 1); // the keypad's Enter is Enter
}

} // namespace
} // namespace quorvex
