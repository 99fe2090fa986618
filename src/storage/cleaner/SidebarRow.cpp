#include "storage/cleaner/SidebarRow.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerStyle.h"
#include "ui/AccessibleValue.h"
#include "ui/CategoryIcon.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvex {

SidebarRow::SidebarRow(const QString& title, const QString& symbol, const QColor& tint, QWidget* parent)
    : QWidget(parent) {
    AccessibleValue::setRole(this, QAccessible::ListItem);
    setAccessibleName(title);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(10);
    row->addWidget(new CategoryIcon(symbol, tint, 24, this));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setObjectName(QStringLiteral("rowTitle"));
    titleLabel->setFont(Fonts::body());
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("rowDetail"));
    m_detail->setFont(Fonts::caption());
    QPalette secondary = m_detail->palette();
    secondary.setColor(QPalette::WindowText, CleanerStyle::secondary(secondary));
    m_detail->setPalette(secondary);
    texts->addWidget(titleLabel);
    texts->addWidget(m_detail);
    row->addLayout(texts, 1);
    m_badge = new QLabel(this);
    m_badge->setObjectName(QStringLiteral("rowBadge"));
    QFont bold = Fonts::caption(QFont::Bold);
    m_badge->setFont(bold);
    m_badge->setAlignment(Qt::AlignCenter);
    m_badge->setStyleSheet(
        QStringLiteral("color: white; background: %1; border-radius: 8px; padding: 2px 7px;")
            .arg(Palette::blue().name()));
    m_badge->hide();
    row->addWidget(m_badge);
}

void SidebarRow::setDetail(const QString& detail) {
    m_detail->setText(detail);
    AccessibleValue::set(this, detail);
    describe();
}

// What a screen reader says after the name: the size, and how many items are selected.
void SidebarRow::describe() {
    QString text = m_detail->text();
    if (m_badgeCount > 0)
        text += QStringLiteral(", %1 selected").arg(m_badgeCount);
    setAccessibleDescription(text);
}

QString SidebarRow::detail() const {
    return m_detail->text();
}

void SidebarRow::setBadge(int badge) {
    m_badgeCount = badge;
    m_badge->setText(QString::number(badge));
    m_badge->setVisible(badge > 0);
    describe();
}

} // namespace quorvex
