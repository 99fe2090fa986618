#include "panel/widgets/Segments.h"

#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace quorvex {

Segments::Segments(std::vector<Option> options, std::optional<QVariant> selection,
                   std::function<void(const QVariant&)> select, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
    , m_selection(std::move(selection)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (const Option& option : m_options) {
        auto* button = new QPushButton(option.first, this);
        button->setFlat(true);
        button->setMinimumHeight(22);
        button->setCursor(Qt::PointingHandCursor);
        const QVariant value = option.second;
        connect(button, &QPushButton::clicked, this, [select, value] {
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
        m_buttons[i]->setFont(Fonts::system(12, on ? QFont::DemiBold : QFont::Normal));
        m_buttons[i]->setStyleSheet(
            on ? QStringLiteral(
                     "QPushButton { color: white; background: palette(highlight); border-radius: 11px; "
                     "padding: 0 9px; }")
               : QStringLiteral("QPushButton { background: transparent; border: none; padding: 0 9px; }"));
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
