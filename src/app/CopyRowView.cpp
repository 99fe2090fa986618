#include "app/CopyRowView.h"

#include "platform/core/Clock.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

namespace quorvex {
namespace {

// The row is as wide as its title and longest value (up to a cap where values are elided), and
// grows with its menu: the menu stretches it to the widest row.
constexpr int kMinimumWidth = 200;
constexpr int kMaximumNaturalWidth = 440;
constexpr int kLineHeight = 17;
constexpr int kFirstLineCentre = 11;
constexpr QSize kIconSize(14, 14);

void setLabelColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

CopyRowView::CopyRowView(const QString& title, const QStringList& values, bool copyable,
                         const QString& symbol, Clock& clock)
    : m_clock(clock)
    , m_values(values.isEmpty() ? QStringList{QString()} : values)
    , m_copyable(copyable)
    , m_symbol(symbol)
    , m_iconSymbol(symbol)
    , m_icon(new QLabel(this))
    , m_titleLabel(new QLabel(title, this)) {
    setObjectName(QStringLiteral("copyRow"));
    if (!copyable)
        setFocusPolicy(Qt::NoFocus);
    m_titleLabel->setObjectName(QStringLiteral("title"));
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setFont(Fonts::body());
    m_titleLabel->adjustSize();
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("value%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setFont(Fonts::body());
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_valueLabels.push_back(label);
        m_valueTexts.push_back(m_values[i]);
    }
    if (copyable)
        setToolTip(m_values.join(QLatin1Char('\n')));
    int valueWidth = 0;
    for (const QString& value : m_values)
        valueWidth = std::max(valueWidth, QFontMetrics(Fonts::body()).horizontalAdvance(value));
    const int naturalWidth = 38 + m_titleLabel->sizeHint().width() + 16 + valueWidth + 14;
    setFixedHeight(22 + kLineHeight * int(m_values.size() - 1));
    setMinimumWidth(std::clamp(naturalWidth, kMinimumWidth, kMaximumNaturalWidth));
    resize(minimumWidth(), height());
    layoutLabels();
    updateColors();
}

CopyRowView::~CopyRowView() = default;

QString CopyRowView::valueText(int index) const {
    return m_valueTexts.at(size_t(index));
}

bool CopyRowView::isShowingCopied() const {
    return m_copiedUntil && *m_copiedUntil > m_clock.now();
}

QColor CopyRowView::iconTint() const {
    if (isShowingCopied())
        return Palette::green();
    return isHighlighted() && m_copyable ? palette().color(QPalette::HighlightedText)
                                         : palette().color(QPalette::WindowText);
}

QColor CopyRowView::titleColor() const {
    return isHighlighted() && m_copyable ? palette().color(QPalette::HighlightedText)
                                         : palette().color(QPalette::WindowText);
}

QColor CopyRowView::valueColor() const {
    QColor color =
        palette().color(isHighlighted() && m_copyable ? QPalette::HighlightedText : QPalette::WindowText);
    color.setAlphaF(isHighlighted() && m_copyable ? 0.8f : 0.55f);
    return color;
}

void CopyRowView::updateColors() {
    m_icon->setPixmap(Symbols::pixmap(m_iconSymbol, kIconSize, iconTint()));
    setLabelColor(m_titleLabel, titleColor());
    for (QLabel* label : m_valueLabels)
        setLabelColor(label, valueColor());
}

void CopyRowView::layoutLabels() {
    const int titleWidth = m_titleLabel->sizeHint().width();
    m_icon->setGeometry(22 - kIconSize.width() / 2, kFirstLineCentre - kIconSize.height() / 2,
                        kIconSize.width(), kIconSize.height());
    m_titleLabel->setGeometry(38, kFirstLineCentre - kLineHeight / 2, titleWidth, kLineHeight);
    const int valueLeft = 38 + titleWidth + 16;
    const int valueWidth = std::max(0, width() - 14 - valueLeft);
    for (size_t i = 0; i < m_valueLabels.size(); ++i) {
        QLabel* label = m_valueLabels[i];
        label->setGeometry(valueLeft, kFirstLineCentre + kLineHeight * int(i) - kLineHeight / 2, valueWidth,
                           kLineHeight);
        label->setText(label->fontMetrics().elidedText(m_valueTexts[i], Qt::ElideMiddle, valueWidth));
    }
}

void CopyRowView::resizeEvent(QResizeEvent* event) {
    MenuRowView::resizeEvent(event);
    layoutLabels();
}

void CopyRowView::paintEvent(QPaintEvent*) {
    paintHighlight(palette().color(QPalette::Highlight), 5, 0);
}

void CopyRowView::activate() {
    if (!m_copyable)
        return;
    QApplication::clipboard()->setText(m_values.join(QLatin1Char('\n')));
    m_valueTexts[0] = tr("Copied");
    m_iconSymbol = QStringLiteral("checkmark.circle.fill");
    m_copiedUntil = m_clock.now() + kCopiedDuration;
    layoutLabels();
    updateColors();
    update();
    // Replacing the pending restore cancels it: only the newest click's restore runs.
    m_restore = m_clock.schedule(kCopiedDuration, [this] { restore(); });
}

void CopyRowView::restore() {
    // m_restore is spent; it is not reset here because it is the call that is running. The
    // copied period ends here, not by comparing times: the timer may fire a hair before
    // `m_copiedUntil` on the clock, which would leave the icon green.
    m_copiedUntil.reset();
    m_valueTexts[0] = m_values[0];
    m_iconSymbol = m_symbol;
    layoutLabels();
    updateColors();
    update();
}

} // namespace quorvex
