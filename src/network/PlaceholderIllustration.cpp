#include "network/PlaceholderIllustration.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvex {
namespace {

constexpr qreal kCornerRadius = 16;

struct Caption {
    QString symbol;
    QString text;
};

Caption captionOf(const IllustrationSpec& spec) {
    switch (spec.kind) {
    case IllustrationSpec::Kind::Intro:
        return {QStringLiteral("network"), QStringLiteral("Simulator traffic, shaped by profile")};
    case IllustrationSpec::Kind::Settings:
        return {QStringLiteral("puzzlepiece.extension"), QStringLiteral("Allowing the network extension")};
    case IllustrationSpec::Kind::ProxyAlert:
        return {QStringLiteral("network.badge.shield.half.filled"),
                QStringLiteral("Allowing the proxy configuration")};
    case IllustrationSpec::Kind::Done:
        return {QString::fromStdString(spec.profile.symbol),
                QString::fromStdString(spec.profile.name) +
                    (spec.verified ? QStringLiteral(" · on") : QString())};
    }
    return {};
}

} // namespace

PlaceholderIllustration::PlaceholderIllustration(IllustrationSpec spec, QWidget* parent)
    : QWidget(parent)
    , m_spec(std::move(spec)) {
    setAccessibleName(captionOf(m_spec).text);
}

IllustrationFactory PlaceholderIllustration::factory() {
    return [](const IllustrationSpec& spec, QWidget* parent) -> QWidget* {
        return new PlaceholderIllustration(spec, parent);
    };
}

void PlaceholderIllustration::paintBackdrop(QPainter& painter, const QRectF& rect, const QColor& accent,
                                            const QColor& text) {
    QPainterPath shape;
    shape.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    QColor from = accent;
    from.setAlphaF(0.16f);
    QColor to = Palette::purple();
    to.setAlphaF(0.1f);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillPath(shape, gradient);
    QColor border = text;
    border.setAlphaF(0.06f);
    painter.setPen(QPen(border, 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
}

void PlaceholderIllustration::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor text = palette().color(QPalette::WindowText);
    paintBackdrop(painter, rect(), accent, text);

    const Caption caption = captionOf(m_spec);
    const QSize iconSize(56, 56);
    const QColor tint =
        m_spec.kind == IllustrationSpec::Kind::Done && m_spec.verified ? Palette::green() : accent;
    const QPixmap icon = Symbols::pixmap(caption.symbol, iconSize, tint, devicePixelRatioF());
    const QPoint iconAt(width() / 2 - iconSize.width() / 2, height() / 2 - iconSize.height() + 4);
    painter.drawPixmap(QRect(iconAt, iconSize), icon);
    QColor secondary = text;
    secondary.setAlphaF(0.55f);
    painter.setPen(secondary);
    painter.setFont(Fonts::callout());
    painter.drawText(QRect(0, height() / 2 + 16, width(), 24), Qt::AlignHCenter | Qt::AlignTop, caption.text);
}

} // namespace quorvex
