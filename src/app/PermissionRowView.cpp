#include "app/PermissionRowView.h"

#include "actions/PermissionLook.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace quorvex {
namespace {

constexpr PermissionAction kActions[] = {PermissionAction::grant, PermissionAction::revoke,
                                         PermissionAction::reset};
constexpr QSize kRowSize(300, 26);
constexpr QSize kStateSymbolSize(15, 15);
constexpr QSize kServiceSymbolSize(11, 11);

} // namespace

PermissionRowView::PermissionRowView(const QString& title, const QString& symbol,
                                     std::optional<PermissionAction> state, Perform perform)
    : m_state(state)
    , m_perform(std::move(perform)) {
    setObjectName(QStringLiteral("permissionRow"));
    setFixedSize(kRowSize);
    setAccessibleName(title);
    auto* layout = new QHBoxLayout(this);
    // The service symbol is centred 21 from the leading edge and the title starts at 35.
    layout->setContentsMargins(21 - kServiceSymbolSize.width() / 2, 0, 14, 0);
    layout->setSpacing(0);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("symbol"));
    icon->setFixedSize(kServiceSymbolSize);
    icon->setPixmap(Symbols::pixmap(symbol, kServiceSymbolSize, palette().color(QPalette::WindowText)));
    layout->addWidget(icon, 0, Qt::AlignVCenter);
    layout->addSpacing(35 - (21 + kServiceSymbolSize.width() - kServiceSymbolSize.width() / 2));
    auto* label = new QLabel(title, this);
    label->setObjectName(QStringLiteral("title"));
    label->setFont(Fonts::body());
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(label, 1, Qt::AlignVCenter);
    layout->addSpacing(14);
    for (int tag = 0; tag < 3; ++tag) {
        const PermissionAction action = kActions[tag];
        auto* button = new QToolButton(this);
        button->setObjectName(rawValue(action));
        button->setProperty("tag", tag);
        button->setToolTip(quorvex::title(action));
        button->setAccessibleName(quorvex::title(action));
        button->setIconSize(kStateSymbolSize);
        button->setAutoRaise(true);
        // The row keeps the keyboard; which button Return presses is its own focus ring.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, tag] { tapped(tag); });
        if (tag > 0)
            layout->addSpacing(8);
        layout->addWidget(button, 0, Qt::AlignVCenter);
        m_buttons.append(button);
    }
    refresh();
}

QString PermissionRowView::shownSymbol(PermissionAction action) const {
    return PermissionLook::symbol(action, m_state == action);
}

void PermissionRowView::setState(std::optional<PermissionAction> state) {
    m_state = state;
    refresh();
}

void PermissionRowView::refresh() {
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    for (int tag = 0; tag < m_buttons.size(); ++tag) {
        const PermissionAction action = kActions[tag];
        const bool recorded = m_state == action;
        auto* button = m_buttons[tag];
        button->setIcon(QIcon(Symbols::pixmap(shownSymbol(action), kStateSymbolSize,
                                              recorded ? PermissionLook::color(action) : secondary)));
        // A screen reader hears which action was applied last, as a sighted user sees it.
        button->setAccessibleDescription(recorded ? QStringLiteral("Applied last") : QString());
    }
}

int PermissionRowView::focusRingButton() const {
    return hasFocus() && hasKeyboardFocus() ? m_keyboardButton : -1;
}

void PermissionRowView::tapped(int tag) {
    if (tag < 0 || tag > 2)
        return;
    if (m_perform)
        m_perform(kActions[tag]);
}

void PermissionRowView::activate() {
    tapped(m_keyboardButton);
}

void PermissionRowView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        m_keyboardButton = (m_keyboardButton + (event->key() == Qt::Key_Right ? 1 : 2)) % 3;
        takeKeyboard();
        update();
        event->accept();
        return;
    }
    MenuRowView::keyPressEvent(event);
}

void PermissionRowView::mouseReleaseEvent(QMouseEvent* event) {
    // A click beside the buttons would otherwise press the keyboard's button (Grant at first):
    // a permission must never change from a click on the row's title.
    event->accept();
}

void PermissionRowView::highlightUpdated() {
    update();
}

void PermissionRowView::changeEvent(QEvent* event) {
    MenuRowView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void PermissionRowView::paintEvent(QPaintEvent*) {
    QColor color = palette().color(QPalette::Highlight);
    color.setAlphaF(0.18f);
    paintHighlight(color, 5, 0);
    const int ring = focusRingButton();
    if (ring < 0)
        return;
    // The ring goes around the button, outside it, so the button itself never looks pressed.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF around = QRectF(m_buttons[ring]->geometry()).adjusted(-2, -2, 2, 2);
    painter.drawRoundedRect(around, around.height() / 2, around.height() / 2);
}

} // namespace quorvex
