#include "panel/widgets/SettingsGroup.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvex {

SettingsGroup::SettingsGroup(QWidget* parent)
    : QWidget(parent)
    , m_rows(new QVBoxLayout(this)) {
    m_rows->setContentsMargins(12, 0, 12, 0);
    m_rows->setSpacing(0);
}

void SettingsGroup::addRow(QWidget* row) {
    m_rows->addWidget(row);
}

QColor SettingsGroup::cardColour(const QColor& window) {
    QColor card(Qt::white);
    card.setAlphaF(window.lightnessF() < 0.5 ? 0.06f : 0.7f);
    return card;
}

void SettingsGroup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(card, cardColour(palette().color(QPalette::Window)));
}

} // namespace quorvex
