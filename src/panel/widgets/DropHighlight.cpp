#include "panel/widgets/DropHighlight.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvex {

DropHighlight::DropHighlight(const std::optional<QString>& device, bool physical, QWidget* parent)
    : QWidget(parent)
    , m_headline(headline(device, physical))
    , m_caption(caption(physical)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString DropHighlight::headline(const std::optional<QString>& device, bool physical) {
    const QString name = device     ? *device
                         : physical ? QStringLiteral("the device")
                                    : QStringLiteral("the simulator");
    return (physical ? QStringLiteral("Drop links on ") : QStringLiteral("Drop on ")) + name;
}

QString DropHighlight::caption(bool physical) {
    return physical ? QStringLiteral("They open on the device. Files need a simulator.")
                    : QStringLiteral("Push payloads, certificates, photos and videos, apps, or links");
}

void DropHighlight::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
    QColor veil = palette().color(QPalette::Window);
    veil.setAlphaF(0.85f);
    painter.fillPath(shape, veil);
    QColor tint = accent;
    tint.setAlphaF(0.1f);
    painter.fillPath(shape, tint);
    QPen dashes(accent, 2);
    dashes.setDashPattern({3, 2}); // 6 on, 4 off at a width of 2
    painter.setPen(dashes);
    painter.drawPath(shape);

    const QFont headlineFont = Fonts::system(13, QFont::DemiBold);
    const QFont captionFont = Fonts::caption();
    const int textWidth = std::max(60, width() - 2 * (12 + 16));
    const QRect captionBox =
        QFontMetrics(captionFont)
            .boundingRect(QRect(0, 0, textWidth, 200), Qt::AlignHCenter | Qt::TextWordWrap, m_caption);
    const int headlineHeight = QFontMetrics(headlineFont).height();
    const int cardHeight = 16 + 28 + 8 + headlineHeight + 8 + captionBox.height() + 16;
    const QRect card((width() - textWidth - 32) / 2, (height() - cardHeight) / 2, textWidth + 32, cardHeight);
    QPainterPath cardShape;
    cardShape.addRoundedRect(QRectF(card), 10, 10);
    painter.fillPath(cardShape, palette().color(QPalette::Window));
    int y = card.top() + 16;
    painter.drawPixmap(QPoint(card.center().x() - 14, y),
                       Symbols::pixmap(QStringLiteral("tray.and.arrow.down.fill"), QSize(28, 28), accent));
    y += 28 + 8;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(headlineFont);
    painter.drawText(QRect(card.left() + 16, y, textWidth, headlineHeight), Qt::AlignHCenter, m_headline);
    y += headlineHeight + 8;
    painter.setFont(captionFont);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(QRect(card.left() + 16, y, textWidth, captionBox.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, m_caption);
}

} // namespace quorvex
