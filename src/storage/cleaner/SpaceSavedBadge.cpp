#include "storage/cleaner/SpaceSavedBadge.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/engine/SpaceSaved.h"
#include "ui/AccessibleValue.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/RollingText.h"
#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr qreal kPaddingX = 14;
constexpr qreal kPaddingY = 10;
constexpr qreal kSpacing = 10;
const QString kBroom = QStringLiteral("\U0001F9F9");
const QString kCaption = QStringLiteral("cleaned up so far");

QFont broomFont() {
    return Fonts::system(26);
}

// Whether some installed font draws the broom; without one it would show as an empty box, so
// the badge draws the eraser symbol in its place.
bool broomDrawable() {
    static const bool drawable = [] {
        QTextLayout layout(kBroom, broomFont());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        return !runs.isEmpty() && std::all_of(runs.begin(), runs.end(), [](const QGlyphRun& run) {
            return run.rawFont().supportsCharacter(kBroom.toUcs4().front());
        });
    }();
    return drawable;
}

qreal broomWidth() {
    return broomDrawable() ? QFontMetricsF(broomFont()).horizontalAdvance(kBroom) : 26;
}
QFont figureFont() {
    QFont font = Fonts::system(20, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

const Motion kSpring = Motion::spring(0.5, 0.85);

} // namespace

SpaceSavedBadge::SpaceSavedBadge(SpaceSaved& saved, Animator& animator, QWidget* parent)
    : QWidget(parent)
    , m_saved(saved)
    , m_figure(std::make_unique<RollingText>(animator, figure())) {
    AccessibleValue::setRole(this, QAccessible::StaticText);
    setObjectName(QStringLiteral("spaceSavedBadge"));
    connect(m_figure.get(), &RollingText::changed, this, [this] {
        // The layout hears of the width when a roll starts and ends, not on every frame.
        if (!m_figure->isRunning() || m_figure->progress() == 0)
            updateGeometry();
        update();
    });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Cleaned up so far"));
    setToolTip(QStringLiteral("Everything Quorvex has cleaned up, including items moved to the Trash."));
    connect(&m_saved, &SpaceSaved::totalChanged, this, &SpaceSavedBadge::follow);
    follow();
}

QString SpaceSavedBadge::figure() const {
    return sizeText(m_saved.total());
}

SpaceSavedBadge::~SpaceSavedBadge() = default;

// A new total rolls in on the badge's spring, counting up; a hidden badge takes it at once.
void SpaceSavedBadge::follow() {
    AccessibleValue::set(this, figure());
    m_figure->setText(figure(), isVisible() ? kSpring : Motion::none());
    setVisible(m_saved.total() >= 1);
    updateGeometry();
    update();
}

QSize SpaceSavedBadge::sizeHint() const {
    const QFontMetricsF broom(broomFont());
    const QFontMetricsF figureMetrics(figureFont());
    const QFontMetricsF caption(Fonts::caption());
    // While a roll runs, room for the wider of the two figures.
    const TextRoll& roll = m_figure->roll();
    const qreal figureWidth = std::max(roll.width(0, figureFont()), roll.width(1, figureFont()));
    const qreal textWidth = std::max(figureWidth, caption.horizontalAdvance(kCaption));
    const qreal width = broomWidth() + kSpacing + textWidth + 2 * kPaddingX;
    const qreal height =
        std::max(broom.height(), figureMetrics.height() + 1 + caption.height()) + 2 * kPaddingY;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void SpaceSavedBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(withAlpha(Palette::green(), 0.25), 1));
    painter.setBrush(withAlpha(Palette::green(), 0.12));
    painter.drawRoundedRect(box, 14, 14);

    const QFontMetricsF figureMetrics(figureFont());
    const QFontMetricsF caption(Fonts::caption());
    const qreal inner = height() - 2 * kPaddingY;
    qreal x = kPaddingX;
    if (broomDrawable()) {
        painter.setFont(broomFont());
        painter.drawText(QRectF(x, kPaddingY, broomWidth(), inner), Qt::AlignVCenter, kBroom);
    } else {
        const QPixmap eraser = Symbols::pixmap(QStringLiteral("eraser"), QSize(26, 26), Palette::green(),
                                               std::max(devicePixelRatioF(), 1.0));
        painter.drawPixmap(QRectF(x, kPaddingY + (inner - 26) / 2, 26, 26), eraser, QRectF(eraser.rect()));
    }
    x += broomWidth() + kSpacing;

    const qreal stack = figureMetrics.height() + 1 + caption.height();
    const qreal top = kPaddingY + (inner - stack) / 2;
    const QColor primary = palette().color(QPalette::WindowText);
    painter.setPen(primary);
    painter.setFont(figureFont());
    m_figure->paint(painter, QRectF(x, top, width() - x, figureMetrics.height()),
                    Qt::AlignLeft | Qt::AlignVCenter);
    painter.setPen(secondaryText(primary));
    painter.setFont(Fonts::caption());
    painter.drawText(QRectF(x, top + figureMetrics.height() + 1, width() - x, caption.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, kCaption);
}

} // namespace quorvex
