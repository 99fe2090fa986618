#include "panel/widgets/SettingsRow.h"

#include "panel/widgets/PanelAccessibility.h"
#include "panel/widgets/Segments.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvex {

SettingsRow::SettingsRow(const std::optional<QString>& symbol, const QString& title,
                         const std::optional<QString>& subtitle, bool isLast, QWidget* parent)
    : QWidget(parent)
    , m_titleText(title)
    , m_subtitleText(subtitle)
    , m_isLast(isLast)
    , m_title(new QLabel(this))
    , m_trailing(new QHBoxLayout) {
    PanelAccessibility::install();
    auto* row = new QHBoxLayout(this);
    row->setSpacing(10);
    const int extra = subtitle ? 4 : 0;
    row->setContentsMargins(0, extra, 0, extra + (isLast ? 0 : 1));
    if (symbol) {
        m_symbol = new QLabel(this);
        m_symbol->setFixedWidth(20);
        m_symbol->setAlignment(Qt::AlignCenter);
        m_symbol->setPixmap(
            Symbols::pixmap(*symbol, QSize(14, 14), palette().color(QPalette::PlaceholderText)));
        row->addWidget(m_symbol);
    }
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    m_title->setFont(Fonts::system(13));
    texts->addWidget(m_title);
    if (subtitle) {
        m_subtitle = new QLabel(this);
        m_subtitle->setFont(Fonts::system(11));
        m_subtitle->setForegroundRole(QPalette::PlaceholderText);
        texts->addWidget(m_subtitle);
    }
    row->addLayout(texts, 1);
    row->addSpacing(8);
    m_trailing->setSpacing(6);
    row->addLayout(m_trailing);
    setMinimumHeight(minimumRowHeight());
    elide();
}

int SettingsRow::minimumRowHeight() const {
    return kMinimumHeight + (m_subtitleText ? 8 : 0);
}

void SettingsRow::addTrailing(QWidget* widget) {
    // A value menu says only its value, segments and a spinner nothing: the row tells what for.
    const bool namedByRow =
        qobject_cast<ValueMenu*>(widget) || qobject_cast<Segments*>(widget) || qobject_cast<Spinner*>(widget);
    if (namedByRow && widget->accessibleName().isEmpty())
        widget->setAccessibleName(m_titleText);
    m_trailing->addWidget(widget);
}

void SettingsRow::setActivatable(bool activatable) {
    m_activatable = activatable;
    // Tab only: a click runs the row without leaving a ring on it.
    setFocusPolicy(activatable ? Qt::TabFocus : Qt::NoFocus);
    setCursor(activatable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

void SettingsRow::elide() {
    const int width = std::max(20, m_title->width());
    m_title->setText(QFontMetrics(m_title->font()).elidedText(m_titleText, Qt::ElideMiddle, width));
    if (m_subtitle)
        m_subtitle->setText(
            QFontMetrics(m_subtitle->font()).elidedText(*m_subtitleText, Qt::ElideRight, width));
}

void SettingsRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    elide();
}

void SettingsRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_isLast) {
        QColor line = palette().color(QPalette::Mid);
        line.setAlphaF(0.6f);
        painter.setPen(line);
        painter.drawLine(0, height() - 1, width(), height() - 1);
    }
    // Around the row's content, clear of its divider.
    FocusRing::paint(painter, *this, QRectF(rect()).adjusted(0, 1, 0, m_isLast ? -1 : -2), 6);
}

void SettingsRow::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (m_activatable && modifiers == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (!event->isAutoRepeat())
            emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsRow::mouseReleaseEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace quorvex
