#include "panel/widgets/PanelFocus.h"

#include "ui/FocusRing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QToolButton>

#include <set>
#include <vector>

namespace quorvex {
namespace {

bool takesTab(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() && !widget->isWindow();
}

// The controls under `widget` in the order its layout places them, then any child the layouts
// do not hold (an overlay, a scroll area's content), in the order they were made.
void collect(QWidget* widget, std::vector<QWidget*>& out, std::set<QWidget*>& seen);

void collectLayout(QLayout* layout, std::vector<QWidget*>& out, std::set<QWidget*>& seen) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* child = item->widget())
            collect(child, out, seen);
        else if (QLayout* inner = item->layout())
            collectLayout(inner, out, seen);
    }
}

void collect(QWidget* widget, std::vector<QWidget*>& out, std::set<QWidget*>& seen) {
    if (!seen.insert(widget).second)
        return;
    if (takesTab(widget))
        out.push_back(widget);
    if (QLayout* layout = widget->layout())
        collectLayout(layout, out, seen);
    for (QObject* object : widget->children())
        if (auto* child = qobject_cast<QWidget*>(object); child && !child->isWindow())
            collect(child, out, seen);
}

// Whether `widget` is shown, or will be once the rows just laid out appear, as long as `area` is.
bool willShow(const QWidget* widget, const QWidget* area) {
    for (const QWidget* up = widget; up && up != area; up = up->parentWidget())
        if (up->isHidden() && up->testAttribute(Qt::WA_WState_ExplicitShowHide))
            return false;
    return true;
}

std::vector<QWidget*> controlsOf(QWidget* root) {
    std::vector<QWidget*> controls;
    std::set<QWidget*> seen;
    collect(root, controls, seen);
    return controls;
}

// Where the focus was when a card was disabled, and where Qt sent it.
class FocusMemo final : public QObject {
public:
    explicit FocusMemo(QWidget* area)
        : QObject(area) {
        setObjectName(QStringLiteral("focusMemo"));
    }
    QPointer<QWidget> control;
    QPointer<QWidget> movedTo;
};

} // namespace

void PanelFocus::setEnabled(QWidget* area, bool enabled) {
    auto* memo = static_cast<FocusMemo*>(
        area->findChild<QObject*>(QStringLiteral("focusMemo"), Qt::FindDirectChildrenOnly));
    if (!enabled) {
        QWidget* focused = QApplication::focusWidget();
        const bool inside = focused && (focused == area || area->isAncestorOf(focused));
        area->setEnabled(false);
        if (inside && area->isVisible()) {
            if (!memo)
                memo = new FocusMemo(area);
            memo->control = focused;
            memo->movedTo = QApplication::focusWidget();
        }
        return;
    }
    area->setEnabled(true);
    if (!memo)
        return;
    if (memo->control && QApplication::focusWidget() == memo->movedTo && memo->control->isVisible())
        memo->control->setFocus(Qt::TabFocusReason);
    delete memo;
}

PanelFocus::PanelFocus(QWidget* control, std::function<void()> openMenu, double ringRadius)
    : QObject(control)
    , m_openMenu(std::move(openMenu))
    , m_ringRadius(ringRadius)
    , m_keys(ringRadius < 0) {
    control->installEventFilter(this);
}

void PanelFocus::keys(QAbstractButton* button, std::function<void()> openMenu) {
    if (!openMenu)
        if (auto* tool = qobject_cast<QToolButton*>(button))
            openMenu = [tool] {
                if (tool->menu())
                    tool->showMenu();
            };
    new PanelFocus(button, std::move(openMenu), -1);
}

void PanelFocus::ring(QWidget* control, double radius) {
    new PanelFocus(control, {}, radius);
}

bool PanelFocus::eventFilter(QObject* watched, QEvent* event) {
    auto* control = static_cast<QWidget*>(watched);
    if (!m_keys && event->type() == QEvent::Paint) {
        // The control draws itself first; the ring goes over it.
        watched->event(event);
        if (control->hasFocus()) {
            QPainter painter(control);
            FocusRing::paint(painter, *control, QRectF(control->rect()), m_ringRadius);
        }
        return true;
    }
    if (!m_keys || event->type() != QEvent::KeyPress)
        return false;
    auto* button = static_cast<QAbstractButton*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier && modifiers != Qt::AltModifier)
        return false;
    auto* tool = qobject_cast<QToolButton*>(button);
    const bool pressOpensMenu = tool && tool->menu() && tool->popupMode() == QToolButton::InstantPopup;
    const bool hasMenu = m_openMenu && (!tool || tool->menu());
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers != Qt::NoModifier)
            return false;
        // Taken even when there is nothing to run: the panel has no default button to reach.
        if (button->isEnabled()) {
            if (pressOpensMenu)
                m_openMenu();
            else
                button->click();
        }
        return true;
    case Qt::Key_Down:
        if (!hasMenu)
            return false;
        if (button->isEnabled())
            m_openMenu();
        return true;
    default:
        return false;
    }
}

void PanelFocus::orderTabs(QWidget* widget) {
    const std::vector<QWidget*> controls = controlsOf(widget->window());
    for (size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

PanelFocus::Keeper::Keeper(QWidget* area)
    : m_area(area) {
    QWidget* focused = QApplication::focusWidget();
    if (!focused || !area->isAncestorOf(focused))
        return;
    m_focused = focused;
    m_name = focused->objectName();
    m_rank = 0;
    for (QWidget* control : controlsOf(area)) {
        if (control == focused)
            break;
        if (control->objectName() == m_name && willShow(control, area))
            ++m_rank;
    }
}

PanelFocus::Keeper::~Keeper() {
    if (!m_area || m_rank < 0)
        return;
    if (m_focused && m_focused->hasFocus() && m_focused->isVisible())
        return; // nothing was made anew under it
    orderTabs(m_area);
    QWidget* first = nullptr;
    QWidget* namesake = nullptr;
    qsizetype rank = 0;
    for (QWidget* control : controlsOf(m_area)) {
        if (!willShow(control, m_area) || !control->isEnabled())
            continue;
        if (!first)
            first = control;
        if (!m_name.isEmpty() && control->objectName() == m_name) {
            namesake = control; // the last one, should the list have become shorter
            if (rank++ == m_rank)
                break;
        }
    }
    QWidget* target = namesake ? namesake : first;
    if (!target)
        return;
    // Rows just made are shown on the next turn of the event loop; the focus cannot wait.
    for (QWidget* up = target; up && up != m_area; up = up->parentWidget())
        if (up->isHidden())
            up->show();
    target->setFocus(Qt::TabFocusReason);
}

} // namespace quorvex
