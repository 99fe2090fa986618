#include "panel/widgets/Segments.h"

#include "panel/widgets/PanelAccessibility.h"
#include "panel/widgets/PanelFocus.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace quorvex {

SegmentButton::SegmentButton(const QString& title, QWidget* parent)
    : QAbstractButton(parent) {
    setText(title);
    setCheckable(true);
    setMinimumHeight(22);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFont(Fonts::system(12));
    PanelFocus::keys(this);
}

QSize SegmentButton::sizeHint() const {
    // Measured semibold, so choosing an option never makes the picker wider.
    const QFontMetrics metrics(Fonts::system(12, QFont::DemiBold));
    return {metrics.horizontalAdvance(text()) + 18, std::max(22, metrics.height() + 4)};
}

void SegmentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect());
    const double radius = capsule.height() / 2;
    QPalette ringPalette = palette();
    if (isChecked()) {
        QPainterPath shape;
        shape.addRoundedRect(capsule, radius, radius);
        painter.fillPath(shape, palette().color(QPalette::Highlight));
        painter.setPen(Qt::white);
        // On the accent fill a ring in the accent colour would not show.
        ringPalette.setColor(QPalette::Active, QPalette::Highlight, Qt::white);
    } else {
        painter.setPen(palette().color(QPalette::WindowText));
    }
    painter.setFont(Fonts::system(12, isChecked() ? QFont::DemiBold : QFont::Normal));
    painter.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus())
        FocusRing::paint(painter, ringPalette, capsule, radius);
}

Segments::Segments(std::vector<Option> options, std::optional<QVariant> selection,
                   std::function<void(const QVariant&)> select, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
    , m_selection(std::move(selection)) {
    PanelAccessibility::install();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (const Option& option : m_options) {
        auto* button = new SegmentButton(option.first, this);
        button->setObjectName(QStringLiteral("segment.") + option.second.toString());
        const QVariant value = option.second;
        connect(button, &QAbstractButton::clicked, this, [select, value] {
            if (select)
                select(value);
        });
        layout->addWidget(button);
        m_buttons.push_back(button);
    }
    restyle();
}

void Segments::setSelection(const std::optional<QVariant>& selection) {
    m_selection = selection;
    restyle();
}

std::optional<size_t> Segments::selectedIndex() const {
    if (!m_selection)
        return std::nullopt;
    for (size_t i = 0; i < m_options.size(); ++i) {
        if (m_options[i].second == *m_selection)
            return i;
    }
    return std::nullopt;
}

void Segments::restyle() {
    const std::optional<size_t> selected = selectedIndex();
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const bool on = selected == i;
        if (m_buttons[i]->isChecked() == on)
            continue;
        m_buttons[i]->setChecked(on);
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(m_buttons[i], changed);
        QAccessible::updateAccessibility(&event);
    }
}

void Segments::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.06f);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    painter.fillPath(capsule, fill);
}

} // namespace quorvex
