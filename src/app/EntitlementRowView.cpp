#include "app/EntitlementRowView.h"

#include "platform/core/Clock.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvex {
namespace {

QLabel* addLine(QVBoxLayout* layout, const QString& text, const QFont& font, const QColor& color,
                int maxWidth, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, maxWidth));
    label->setToolTip(text);
    layout->addWidget(label);
    return label;
}

} // namespace

EntitlementRowView::EntitlementRowView(const AppDetails::Entitlement& entitlement, Clock& clock)
    : m_clock(clock)
    , m_copyText(entitlement.key + QStringLiteral(" = ") + entitlement.values.join(QStringLiteral(", ")))
    , m_name(entitlement.name) {
    setObjectName(QStringLiteral("entitlementRow"));
    setToolTip(tr("Click to copy"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 5, 14, 5);
    layout->setSpacing(2);
    const QColor label = palette().color(QPalette::WindowText);
    QColor secondary = label;
    secondary.setAlphaF(0.55f);

    m_nameLabel = addLine(layout, m_name, Fonts::body(), label, 364, this);
    m_lines.append(m_nameLabel);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(Fonts::caption().pointSizeF() - 1);
    m_lines.append(addLine(layout, entitlement.key, mono, secondary, 364, this));
    layout->addSpacing(2); // 4 after the key line in all

    const qsizetype count = entitlement.values.size();
    for (qsizetype i = 0; i < std::min<qsizetype>(count, kMaxValueLines); ++i) {
        const QString& value = entitlement.values[i];
        m_lines.append(addLine(layout, count == 1 ? value : QStringLiteral("•  ") + value, Fonts::caption(),
                               label, 440, this));
    }
    if (count > kMaxValueLines)
        m_lines.append(addLine(layout, tr("…and %1 more").arg(count - kMaxValueLines), Fonts::caption(),
                               label, 440, this));
    setMinimumWidth(330);
}

EntitlementRowView::~EntitlementRowView() = default;

QStringList EntitlementRowView::lineTexts() const {
    QStringList texts;
    for (const QLabel* line : m_lines)
        texts << line->text();
    return texts;
}

void EntitlementRowView::activate() {
    QApplication::clipboard()->setText(m_copyText);
    m_nameLabel->setText(tr("Copied ✓"));
    m_restore = m_clock.schedule(kCopiedDuration, [this] { m_nameLabel->setText(m_name); });
}

void EntitlementRowView::paintEvent(QPaintEvent*) {
    QColor color = palette().color(QPalette::Highlight);
    color.setAlphaF(0.18f);
    paintHighlight(color, 5, 1);
}

} // namespace quorvex
