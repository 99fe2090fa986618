#include "panel/sections/PanelFooter.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace quorvex {

PanelFooter::PanelFooter(bool physical, QWidget* parent)
    : QWidget(parent)
    , m_text(new QLabel(this)) {
    setObjectName(QStringLiteral("panelFooter"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 9, 16, 9);
    row->setSpacing(6);
    auto* symbol = new QLabel(this);
    QColor tertiary = palette().color(QPalette::WindowText);
    tertiary.setAlphaF(0.3f);
    symbol->setPixmap(Symbols::pixmap(QStringLiteral("tray.and.arrow.down"), QSize(11, 11), tertiary));
    row->addWidget(symbol);
    m_text->setObjectName(QStringLiteral("footerHint"));
    m_text->setFont(Fonts::system(11));
    m_text->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(m_text);
    row->addStretch(1);
    setPhysical(physical);
}

QString PanelFooter::hintText(bool physical) {
    return physical ? QStringLiteral("Drop links here to open them")
                    : QStringLiteral("Drop files or links here");
}

void PanelFooter::setPhysical(bool physical) {
    m_text->setText(hintText(physical));
}

void PanelFooter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::Mid);
    line.setAlphaF(0.5f);
    painter.fillRect(QRect(0, 0, width(), 1), line);
}

} // namespace quorvex
