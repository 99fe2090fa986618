#include "illustrations/IntroIllustration.h"

#include "illustrations/IntroFrame.h"
#include "ui/Palette.h"
#include "ui/SymbolReplace.h"
#include "ui/Symbols.h"
#include "ui/TextRoll.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <QPainterPath>
#include <QPalette>
#include <cmath>

namespace quorvex {
namespace {

constexpr QSizeF kScene{340, 224};

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

// A border drawn inside the shape's edge, as the drawings' mock frames have.
void strokeInside(QPainter& p, const QRectF& rect, double radius, const QColor& color, double width) {
    p.setPen(QPen(color, width));
    p.setBrush(Qt::NoBrush);
    const double half = width / 2;
    p.drawRoundedRect(rect.adjusted(half, half, -half, -half), radius - half, radius - half);
}

void fillCapsule(QPainter& p, const QRectF& rect, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const double r = std::min(rect.width(), rect.height()) / 2;
    p.drawRoundedRect(rect, r, r);
}

QFont pillFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(9);
    font.setWeight(QFont::DemiBold);
    return font;
}

// A tinted capsule with a symbol and a caption, centred on `centreX` below `top`. While the pill
// changes profile, `progress` of the way, the symbol is replaced, the name's changed characters
// roll up, and the capsule's width goes from the old name's to the new one's.
void paintPill(QPainter& p, double centreX, double top, const SymbolReplace& symbol, const TextRoll& text,
               double progress, const QColor& tint) {
    const QFont font = pillFont(p.font());
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const double icon = 12;
    const double textWidth = text.width(progress, font);
    const double width = 10 + icon + 6 + textWidth + 10;
    const double height = std::max(icon, metrics.height()) + 10;
    const QRectF pill(centreX - width / 2, top, width, height);
    fillCapsule(p, pill, withAlpha(tint, 0.18));
    symbol.paint(p, progress, QRectF(pill.left() + 10, pill.center().y() - icon / 2, icon, icon), tint);
    p.setPen(tint);
    text.paint(p, progress, QRectF(pill.left() + 10 + icon + 6, pill.top(), textWidth, height),
               Qt::AlignLeft | Qt::AlignVCenter);
}

// The phone's case and notch, which never change.
void paintPhoneCase(QPainter& p, const QRectF& body, const QPalette& palette) {
    const QColor primary = palette.color(QPalette::WindowText);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::Window));
    p.drawRoundedRect(body, 22, 22);
    strokeInside(p, body, 22, withAlpha(primary, 0.75), 4);
    fillCapsule(p, QRectF(body.center().x() - 17, body.top() + 10, 34, 9), withAlpha(primary, 0.85));
}

// The page loading on the phone's screen.
void paintPhonePage(QPainter& p, const QRectF& body, const IntroFrame& frame, const QPalette& palette) {
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor accent = palette.color(QPalette::Highlight);

    const double left = body.left() + 12;
    const double width = body.width() - 24;
    double y = body.top() + 30;
    fillCapsule(p, QRectF(left, y, width, 4), withAlpha(primary, 0.08));
    if (frame.loadProgress > 0)
        fillCapsule(p, QRectF(left, y, width * frame.loadProgress, 4), accent);
    y += 4 + 7;
    p.setOpacity(frame.pictureOpacity);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(accent, 0.25));
    p.drawRoundedRect(QRectF(left, y, width, 44), 6, 6);
    y += 44 + 7;
    for (size_t i = 0; i < frame.lineOpacity.size(); ++i) {
        p.setOpacity(frame.lineOpacity[i]);
        fillCapsule(p, QRectF(left, y, i == 3 ? 40 : 70, 6), withAlpha(primary, 0.14));
        y += 6 + 7;
    }
    p.setOpacity(1);
}

QRectF computerScreen(const QRectF& column) {
    return {column.center().x() - 85, column.bottom() - 8 - 112, 170, 112};
}

// The computer's three bars, growing and shrinking on its screen. They are filled in two bands
// of rows: their antialiased edges in one pass would make Qt's raster engine hand the fill to its
// thread pool every frame.
void paintComputerBars(QPainter& p, const QRectF& column, const IntroFrame& frame) {
    const QRectF inner = computerScreen(column).adjusted(14, 14, -14, -14);
    const double y = inner.top() + 4 + 6;
    const double barWidth = (inner.width() - 12) / 3;
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Palette::green(), 0.22));
    const double top = std::floor(y) - 1;
    for (const double band : {top, top + 18}) {
        p.save();
        p.setClipRect(QRectF(inner.left(), band, inner.width(), 18), Qt::IntersectClip);
        for (size_t i = 0; i < frame.macBarScale.size(); ++i) {
            const double h = 34 * frame.macBarScale[i];
            p.drawRoundedRect(
                QRectF(inner.left() + static_cast<double>(i) * (barWidth + 6), y + 34 - h, barWidth, h), 4,
                4);
        }
        p.restore();
    }
}

// The computer without its bars, which never changes.
void paintComputerBody(QPainter& p, const QRectF& column, const QPalette& palette) {
    const QColor primary = palette.color(QPalette::WindowText);
    const QRectF screen = computerScreen(column);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::Window));
    p.drawRoundedRect(screen, 8, 8);
    strokeInside(p, screen, 8, withAlpha(primary, 0.75), 4);

    const QRectF inner = screen.adjusted(14, 14, -14, -14);
    double y = inner.top();
    fillCapsule(p, QRectF(inner.left(), y, inner.width(), 4), Palette::green());
    y += 4 + 6 + 34 + 6;
    fillCapsule(p, QRectF(inner.left(), y, 90, 6), withAlpha(primary, 0.14));
    fillCapsule(p, QRectF(inner.left(), y + 12, 60, 6), withAlpha(primary, 0.14));

    QPainterPath base;
    const double x0 = column.center().x() - 100;
    const double y0 = column.bottom() - 8;
    base.moveTo(x0, y0);
    base.lineTo(x0 + 200, y0);
    base.lineTo(x0 + 190, y0 + 8);
    base.lineTo(x0 + 10, y0 + 8);
    base.closeSubpath();
    p.fillPath(base, withAlpha(primary, 0.75));
}

} // namespace

IntroIllustration::IntroIllustration(Clock& clock, QList<Profile> profiles, double segment, QWidget* parent)
    : LoopingTimeline(clock, segment * static_cast<double>(profiles.size()), segment * 4 + 1.5, parent)
    , m_profiles(std::move(profiles))
    , m_segment(segment) {
    setAccessibleName(QStringLiteral(
        "A phone loading a page at a slowed network speed while this computer works at full speed"));
}

void IntroIllustration::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        m_phonePill.clear();
        m_computerPill.clear();
        m_phoneCase.clear();
        m_computer.clear();
    }
    LoopingTimeline::changeEvent(event);
}

QPointF IntroIllustration::sceneOrigin() const {
    return {(width() - kScene.width()) / 2, (height() - kScene.height()) / 2};
}

QRectF IntroIllustration::phonePillRect() const {
    const QPointF origin = sceneOrigin();
    return {origin.x() + 48 - 100, origin.y() + 190 + 12, 200, 32};
}

QRegion IntroIllustration::movingRegion(double t) const {
    // A new profile changes the phone's pill: everything is repainted then.
    const int count = static_cast<int>(m_profiles.size());
    const int index = IntroFrame::indexAt(t, m_segment, count);
    if (index != m_paintedIndex)
        return rect();
    // Otherwise only the phone's page and the computer's bars move; from the top of the one to
    // the bottom of the other, with a pixel of antialiasing either side.
    const QPointF origin = sceneOrigin();
    const QRectF page(origin.x() + 12, origin.y() + 30, 96 - 24, 4 + 7 + 44 + 7 + 4 * (6 + 7));
    const QRectF bars(origin.x() + 96 + 44 + 100 - 85 + 14, origin.y() + 190 - 8 - 112 + 14 + 10, 170 - 28,
                      34);
    QRegion moving = page.united(bars).adjusted(-2, -2, 2, 2).toAlignedRect();
    // While the pill changes profile it moves too.
    const QString id = count > 0 ? m_profiles[index].id : QString();
    if (IntroFrame::at(t, m_segment, count, id, hasLooped()).previousIndex >= 0)
        moving |= phonePillRect().toAlignedRect();
    return moving;
}

void IntroIllustration::paintFrame(QPainter& painter, double t) {
    const int count = static_cast<int>(m_profiles.size());
    const int index = IntroFrame::indexAt(t, m_segment, count);
    const Profile profile = count > 0 ? m_profiles[index] : Profile{};
    const IntroFrame frame = IntroFrame::at(t, m_segment, count, profile.id, hasLooped());
    m_paintedIndex = index;

    const QPointF origin = sceneOrigin();
    const QRectF phone(origin, QSizeF(96, 190));
    const QRectF computer(origin.x() + 96 + 44, origin.y(), 200, 190);
    // The phone's case and the computer are pictured once; the page and the bars move over them.
    const qreal dpr = devicePixelRatioF();
    m_phoneCase.draw(painter, phone, dpr, 0, [&](QPainter& p) {
        p.translate(-phone.topLeft());
        paintPhoneCase(p, phone, palette());
    });
    paintPhonePage(painter, phone, frame, palette());
    m_computer.draw(painter, computer, dpr, 0, [&](QPainter& p) {
        p.translate(-computer.topLeft());
        paintComputerBody(p, computer, palette());
    });
    paintComputerBars(painter, computer, frame);
    // The pills' texts change only with the profile: at rest they are pictured, not set every
    // frame; only while the phone's pill changes profile is it drawn afresh.
    const QRectF phonePill = phonePillRect();
    if (frame.previousIndex >= 0) {
        const Profile& previous = m_profiles[frame.previousIndex];
        painter.save();
        paintPill(painter, phonePill.center().x(), phonePill.top(),
                  SymbolReplace(previous.symbol, profile.symbol), TextRoll(previous.name, profile.name),
                  frame.pillProgress, Palette::orange());
        painter.restore();
    } else {
        m_phonePill.draw(painter, phonePill, dpr, static_cast<quint64>(index), [&](QPainter& p) {
            paintPill(p, phonePill.width() / 2, 0, SymbolReplace(profile.symbol), TextRoll(profile.name), 1,
                      Palette::orange());
        });
    }
    const QRectF computerPill(computer.center().x() - 120, computer.bottom() + 12, 240, 32);
    m_computerPill.draw(painter, computerPill, dpr, 0, [&](QPainter& p) {
        paintPill(p, computerPill.width() / 2, 0, SymbolReplace(QStringLiteral("bolt.fill")),
                  TextRoll(QStringLiteral("This computer: full speed")), 1, Palette::green());
    });
}

} // namespace quorvex
