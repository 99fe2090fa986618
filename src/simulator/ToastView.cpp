#include "simulator/ToastView.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvex {
namespace {

constexpr int kBadgeSize = 30;

class Badge final : public QWidget {
public:
    Badge(const QString& symbol, bool failed, QWidget* parent)
        : QWidget(parent)
        , m_symbol(symbol)
        , m_failed(failed) {
        setFixedSize(kBadgeSize, kBadgeSize);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF circle(0, 0, kBadgeSize, kBadgeSize);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::gradient(m_failed ? Palette::orange() : Palette::green(), circle));
        painter.drawEllipse(circle);
        const QPixmap glyph = Symbols::pixmap(m_symbol, QSize(16, 16), Qt::white, devicePixelRatioF());
        painter.drawPixmap(QPointF((kBadgeSize - 16) / 2.0, (kBadgeSize - 16) / 2.0), glyph);
    }

private:
    QString m_symbol;
    bool m_failed;
};

// A label that shows at most `lines` lines and elides the rest.
class ElidedLabel final : public QLabel {
public:
    ElidedLabel(const QString& text, const QFont& font, int lines, QWidget* parent)
        : QLabel(parent)
        , m_full(text)
        , m_lines(lines) {
        setFont(font);
        setWordWrap(lines > 1);
        setTextFormat(Qt::PlainText);
        const QFontMetrics metrics(font);
        const int available = ToastView::kMaxContentWidth - 2 * 14 - kBadgeSize - 10;
        if (lines == 1) {
            setText(metrics.elidedText(text, Qt::ElideRight, available));
        } else {
            // Keep whole words while they fit in `lines` lines; elide the last line.
            QString shown = text;
            const QRect bounds = metrics.boundingRect(QRect(0, 0, available, 10000), Qt::TextWordWrap, text);
            if (bounds.height() > metrics.lineSpacing() * lines) {
                int low = 0;
                int high = static_cast<int>(text.size());
                while (low < high) {
                    const int mid = (low + high + 1) / 2;
                    const QString candidate = text.left(mid) + QChar(0x2026);
                    const QRect r =
                        metrics.boundingRect(QRect(0, 0, available, 10000), Qt::TextWordWrap, candidate);
                    if (r.height() <= metrics.lineSpacing() * lines)
                        low = mid;
                    else
                        high = mid - 1;
                }
                shown = text.left(low) + QChar(0x2026);
            }
            setText(shown);
            // A word-wrapping label otherwise settles on a narrow width and wraps short text.
            setMinimumWidth(std::min(metrics.horizontalAdvance(shown), available));
            setMaximumWidth(available);
        }
    }

private:
    QString m_full;
    int m_lines;
};

} // namespace

ToastView::ToastView(const QString& title, const std::optional<QString>& detail, const QString& symbol,
                     bool failed, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("toastView"));
    setAttribute(Qt::WA_TranslucentBackground);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kOuterMargin + 14, kOuterMargin + 10, kOuterMargin + 14, kOuterMargin + 10);
    row->setSpacing(10);
    row->addWidget(new Badge(symbol, failed, this), 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* titleLabel = new ElidedLabel(title, Fonts::callout(QFont::DemiBold), 1, this);
    titleLabel->setObjectName(QStringLiteral("toastTitle"));
    texts->addWidget(titleLabel);
    if (detail) {
        auto* detailLabel = new ElidedLabel(*detail, Fonts::caption(), 2, this);
        detailLabel->setObjectName(QStringLiteral("toastDetail"));
        QPalette secondary = detailLabel->palette();
        secondary.setColor(QPalette::WindowText, palette().color(QPalette::WindowText).lighter(160));
        detailLabel->setPalette(secondary);
        texts->addWidget(detailLabel);
    }
    row->addLayout(texts);
    row->setSizeConstraint(QLayout::SetFixedSize);
}

QRegion ToastView::bubbleRegion(QSize size) {
    const QRectF bubble = QRectF(QPointF(0, 0), QSizeF(size))
                              .adjusted(kOuterMargin, kOuterMargin, -kOuterMargin, -kOuterMargin);
    if (bubble.isEmpty())
        return {};
    QPainterPath path;
    path.addRoundedRect(bubble, bubble.height() / 2.0, bubble.height() / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

void ToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bubble = QRectF(rect()).adjusted(kOuterMargin, kOuterMargin, -kOuterMargin, -kOuterMargin);
    const qreal radius = bubble.height() / 2.0;

    // Shadow: black at 18 % spread over about 12 points, 4 points down.
    painter.setPen(Qt::NoPen);
    for (int i = 12; i > 0; i -= 2) {
        QColor shade(0, 0, 0, static_cast<int>(255 * 0.18 / 6.0 * (1.0 - i / 13.0)));
        painter.setBrush(shade);
        painter.drawRoundedRect(bubble.adjusted(-i / 2.0, -i / 2.0 + 4, i / 2.0, i / 2.0 + 4),
                                radius + i / 2.0, radius + i / 2.0);
    }

    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.96);
    painter.setBrush(material);
    painter.drawRoundedRect(bubble, radius, radius);

    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.08);
    painter.setPen(QPen(border, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bubble.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
}

} // namespace quorvex
