#include "storage/cleaner/Disclaimer.h"

#include "storage/cleaner/CleanerStyle.h"
#include "ui/Fonts.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvex {

Disclaimer::Disclaimer(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("disclaimer"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 8, 20, 16);
    QWidget* label = CleanerStyle::iconLabel(QStringLiteral("exclamationmark.shield"), kText,
                                             CleanerStyle::secondary(palette()), Fonts::caption(), this);
    label->findChild<QLabel*>(QStringLiteral("text"))->setTextFormat(Qt::RichText);
    column->addWidget(label);
}

void Disclaimer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CleanerStyle::barMaterial(palette()));
}

} // namespace quorvex
