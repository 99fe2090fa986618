#include "app/PermissionRowView.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

namespace quorvex {

PermissionRowView::PermissionRowView(const QString& title, const QString& symbol,
                                     std::optional<PermissionAction> state, Perform perform)
    : m_state(state)
    , m_perform(std::move(perform)) {
    setObjectName(QStringLiteral("permissionRow"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 2, 14, 2);
    layout->setSpacing(6);
    auto* icon = new QLabel(this);
    icon->setPixmap(Symbols::pixmap(symbol, QSize(14, 14), palette().color(QPalette::WindowText)));
    layout->addWidget(icon);
    auto* label = new QLabel(title, this);
    label->setObjectName(QStringLiteral("title"));
    label->setFont(Fonts::body());
    layout->addWidget(label, 1);
    // One choice per service: the pressed button shows as the current one at once.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    m_group = group;
    const PermissionAction actions[] = {PermissionAction::grant, PermissionAction::revoke,
                                        PermissionAction::reset};
    for (int tag = 0; tag < 3; ++tag) {
        auto* button = new QToolButton(this);
        button->setObjectName(rawValue(actions[tag]));
        button->setText(quorvex::title(actions[tag]));
        button->setProperty("tag", tag);
        button->setCheckable(true);
        button->setChecked(state == actions[tag]);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(true);
        group->addButton(button, tag);
        connect(button, &QToolButton::clicked, this, [this, tag] { tapped(tag); });
        layout->addWidget(button);
        m_buttons.append(button);
    }
}

void PermissionRowView::setState(std::optional<PermissionAction> state) {
    m_state = state;
    // An exclusive group refuses to uncheck its last checked button.
    m_group->setExclusive(false);
    for (QAbstractButton* button : m_buttons)
        button->setChecked(state && button->property("tag").toInt() == static_cast<int>(*state));
    m_group->setExclusive(true);
}

void PermissionRowView::tapped(int tag) {
    static constexpr PermissionAction byTag[] = {PermissionAction::grant, PermissionAction::revoke,
                                                 PermissionAction::reset};
    if (tag < 0 || tag > 2)
        return;
    if (m_perform)
        m_perform(byTag[tag]);
}

void PermissionRowView::activate() {
    tapped(m_keyboardButton);
}

void PermissionRowView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        m_keyboardButton = (m_keyboardButton + (event->key() == Qt::Key_Right ? 1 : 2)) % 3;
        highlightUpdated();
        event->accept();
        return;
    }
    MenuRowView::keyPressEvent(event);
}

void PermissionRowView::highlightUpdated() {
    // The button that Return would press is drawn down while the row has the keyboard.
    for (int i = 0; i < m_buttons.size(); ++i)
        static_cast<QToolButton*>(m_buttons[i])->setDown(hasFocus() && i == m_keyboardButton);
}

void PermissionRowView::paintEvent(QPaintEvent*) {
    QColor color = palette().color(QPalette::Highlight);
    color.setAlphaF(0.18f);
    paintHighlight(color, 5, 0);
}

} // namespace quorvex
