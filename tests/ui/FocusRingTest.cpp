#include "ui/FocusRing.h"

#include "support/KeyboardAudit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// A custom-painted control that draws the ring, or (with `ring` false) forgets to.
class Chip final : public QWidget {
public:
    explicit Chip(bool ring)
        : m_ring(ring) {
        setFocusPolicy(Qt::StrongFocus);
        setFixedSize(80, 24);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::lightGray);
        if (m_ring)
            FocusRing::paint(painter, *this, QRectF(rect()), 6);
    }

private:
    bool m_ring;
};

struct Window {
    QWidget window;
    Chip* withRing = new Chip(true);
    Chip* withoutRing = new Chip(false);
    QLineEdit* field = new QLineEdit;
    Window() {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(withRing);
        layout->addWidget(withoutRing);
        layout->addWidget(field);
    }
};

TEST(FocusRingTest, OnlyAControlThatDrawsTheRingShowsItsFocus) {
    Window w;
    ASSERT_TRUE(test::showActive(&w.window));
    EXPECT_TRUE(test::focusIsVisible(w.withRing, w.field));
    EXPECT_FALSE(test::focusIsVisible(w.withoutRing, w.field));
}

TEST(FocusRingTest, TheStyleSheetRuleRingsAStyleSheetedButtonOnlyWhileFocused) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* button = new QPushButton(QStringLiteral("Rescan"));
    button->setStyleSheet(QStringLiteral("QPushButton { border: 2px solid transparent; background: #ddd; }") +
                          FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 6));
    auto* other = new QLineEdit;
    layout->addWidget(button);
    layout->addWidget(other);
    ASSERT_TRUE(test::showActive(&window));
    EXPECT_TRUE(test::focusIsVisible(button, other));
}

TEST(KeyboardAuditTest, NamesTheControlsAScreenReaderCannotAnnounceAndWalksTheTabOrder) {
    Window w;
    w.withRing->setObjectName(QStringLiteral("chip"));
    w.field->setAccessibleName(QStringLiteral("Search"));
    ASSERT_TRUE(test::showActive(&w.window));

    // Plain QWidgets have neither a name nor a role of their own.
    const QString report = test::describe(test::accessibilityProblems(&w.window));
    EXPECT_TRUE(report.contains(QStringLiteral("\"chip\" has no accessible name"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"chip\" has no role"))) << report.toStdString();
    EXPECT_FALSE(report.contains(QStringLiteral("QLineEdit"))) << report.toStdString();

    const std::vector<QWidget*> order = test::walkTabOrder(w.withRing);
    EXPECT_EQ(order, (std::vector<QWidget*>{w.withRing, w.withoutRing, w.field}));
    EXPECT_EQ(test::tabStops(&w.window).size(), 3u);
}

} // namespace
} // namespace quorvex
