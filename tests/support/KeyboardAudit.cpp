#include "support/KeyboardAudit.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

namespace quorvex::test {

bool showActive(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

std::vector<QWidget*> tabStops(QWidget* window) {
    std::vector<QWidget*> stops;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->isVisibleTo(window) && child->isEnabledTo(window) &&
            (child->focusPolicy() & Qt::TabFocus) && !child->focusProxy())
            stops.push_back(child);
    }
    return stops;
}

std::vector<QWidget*> walkTabOrder(QWidget* start, int limit) {
    std::vector<QWidget*> order{start};
    start->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    for (int press = 0; press < limit; ++press) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : start, Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        if (next == start)
            return order;
        order.push_back(next);
    }
    order.push_back(nullptr);
    return order;
}

QImage grabAround(QWidget* control, int margin) {
    QWidget* window = control->window();
    const QRect area = QRect(control->mapTo(window, QPoint(0, 0)), control->size())
                           .adjusted(-margin, -margin, margin, margin) &
                       window->rect();
    return window->grab(area).toImage();
}

bool focusIsVisible(QWidget* control, QWidget* elsewhere, int margin) {
    QWidget* before = QApplication::focusWidget();
    control->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QImage focused = grabAround(control, margin);
    if (elsewhere)
        elsewhere->setFocus(Qt::TabFocusReason);
    else
        control->clearFocus();
    QApplication::processEvents();
    const QImage unfocused = grabAround(control, margin);
    if (before)
        before->setFocus(Qt::OtherFocusReason);
    return focused != unfocused;
}

namespace {

// Parts of a composite control (a list's viewport, a spin box's field, a scroll bar) are
// announced through the control that owns them.
bool isInnerPart(QWidget* widget, QWidget* window) {
    if (qobject_cast<QScrollBar*>(widget))
        return true;
    for (QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
        if (qobject_cast<QAbstractItemView*>(up) || qobject_cast<QComboBox*>(up) ||
            qobject_cast<QAbstractSpinBox*>(up) || qobject_cast<QTextEdit*>(up) ||
            qobject_cast<QPlainTextEdit*>(up))
            return true;
    }
    return false;
}

bool isInteractive(QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(widget) ||
           qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QLineEdit*>(widget) ||
           qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QAbstractSpinBox*>(widget);
}

QString label(QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        text += QStringLiteral(" \"%1\"").arg(widget->objectName());
    return text;
}

} // namespace

std::vector<AccessibilityProblem> accessibilityProblems(QWidget* window) {
    std::vector<AccessibilityProblem> problems;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(window) || !isInteractive(child) || isInnerPart(child, window))
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(child);
        if (!face) {
            problems.push_back({child, QStringLiteral("has no accessible interface")});
            continue;
        }
        if (face->text(QAccessible::Name).trimmed().isEmpty())
            problems.push_back({child, QStringLiteral("has no accessible name")});
        const QAccessible::Role role = face->role();
        if (role == QAccessible::NoRole || role == QAccessible::Client)
            problems.push_back({child, QStringLiteral("has no role a screen reader can announce")});
    }
    return problems;
}

QString describe(const std::vector<AccessibilityProblem>& problems) {
    QStringList lines;
    for (const AccessibilityProblem& problem : problems)
        lines << label(problem.widget) + QLatin1Char(' ') + problem.problem;
    return lines.join(QLatin1Char('\n'));
}

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

QString accessibleValue(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (!face)
        return {};
    if (QAccessibleValueInterface* value = face->valueInterface())
        return value->currentValue().toString();
    return face->text(QAccessible::Value);
}

QStringList objectNames(const std::vector<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* widget : widgets)
        names << (widget ? widget->objectName() : QStringLiteral("<lost>"));
    return names;
}

QString labelOf(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (!face)
        return {};
    for (const auto& [other, relation] : face->relations(QAccessible::Label))
        return other->text(QAccessible::Name);
    return {};
}

} // namespace quorvex::test
