#include "storage/cleaner/SidebarRow.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerStyle.h"
#include "storage/cleaner/CountBadge.h"
#include "ui/AccessibleValue.h"
#include "ui/CategoryIcon.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvex {

SidebarRow::SidebarRow(const QString& title, const QString& symbol, const QColor& tint, Animator& animator,
                       QWidget* parent)
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
    m_badge = new CountBadge(animator, this);
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
    m_badge->setCount(badge);
    describe();
}

} // namespace quorvex
