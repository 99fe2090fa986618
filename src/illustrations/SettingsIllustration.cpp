#include "illustrations/SettingsIllustration.h"

#include "illustrations/LoginItemsPane.h"
#include "illustrations/MockParts.h"
#include "illustrations/Pointer.h"
#include "ui/Palette.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr double kSidebarWidth = 124;
constexpr QRectF kPane{124, 40, 276, 210};
constexpr double kPaneColumnLeft = kPane.left() + 12;
constexpr double kPaneColumnTop = kPane.top() + 6;
constexpr double kPaneColumnWidth = kPane.width() - 24;
constexpr QPointF kSheetOrigin{145, 60};
constexpr double kSheetWidth = 232;
constexpr double kSheetPadding = 12;

// The dialog's pieces, top to bottom, in fixed boxes so its buttons stay where the pointer goes.
constexpr double kDialogWidth = 200;
constexpr double kDialogPadding = 14;
constexpr double kDialogIcon = 34;
constexpr double kDialogTitle = 26;
constexpr double kDialogMessage = 22;
constexpr double kDialogButton = 20;
constexpr double kDialogHeight = kDialogPadding + kDialogIcon + 7 + kDialogTitle + 7 + kDialogMessage + 7 +
                                 3 + kDialogButton + 5 + kDialogButton + kDialogPadding;
constexpr QRectF kDialog{(400 - kDialogWidth) / 2, (250 - kDialogHeight) / 2, kDialogWidth, kDialogHeight};

// What the dialog's and the sheet's pictures cover: the card and its shadow.
constexpr QRectF kDialogArea = kDialog.adjusted(-20, -20, 20, 28);

QRectF sheetRect() {
    return {kSheetOrigin, QSizeF(kSheetWidth, LoginItemsPane::kSheetHeight + 2 * kSheetPadding)};
}

QRectF sheetArea() {
    return sheetRect().adjusted(-16, -16, 16, 24);
}

// `rect` scaled by `scale` about `anchor`.
QRectF scaledAbout(const QRectF& rect, QPointF anchor, double scale) {
    return {anchor + (rect.topLeft() - anchor) * scale, rect.size() * scale};
}

QRectF dialogOkButton() {
    return {kDialog.left() + kDialogPadding, kDialog.bottom() - kDialogPadding - 2 * kDialogButton - 5,
            kDialogWidth - 2 * kDialogPadding, kDialogButton};
}

struct SidebarRow {
    const char* symbol;
    QColor tile;
    const char* title;
    bool selected;
};

void paintSidebar(QPainter& p, const SceneColors& colors) {
    p.fillRect(QRectF(0, 0, kSidebarWidth, 250), colors.primaryAt(0.035));
    p.setPen(Qt::NoPen);
    p.setBrush(colors.primaryAt(0.07));
    p.drawRoundedRect(QRectF(8, 34, kSidebarWidth - 16, 18), 9, 9);
    const SidebarRow rows[] = {
        {"wifi", Palette::blue(), "Wi\u2011Fi", false},
        {"network", Palette::blue(), "Network", false},
        {"network.badge.shield.half.filled", Palette::blue(), "VPN", false},
        {"gearshape.fill", Palette::gray(), "General", true},
        {"accessibility", Palette::blue(), "Accessibility", false},
        {"circle.lefthalf.filled", Qt::black, "Appearance", false},
    };
    double y = 34 + 18 + 6 + 4;
    p.setFont(MockParts::font(p, 9));
    for (const SidebarRow& row : rows) {
        const QRectF rect(8, y, kSidebarWidth - 16, 21);
        if (row.selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(colors.accent);
            p.drawRoundedRect(rect, 6, 6);
        }
        const QRectF tile(rect.left() + 5, rect.center().y() - 7.5, 15, 15);
        p.setPen(Qt::NoPen);
        p.setBrush(row.tile);
        p.drawRoundedRect(tile, 4, 4);
        MockParts::paintSymbol(p, tile, QString::fromLatin1(row.symbol), 9, Qt::white);
        p.setPen(row.selected ? QColor(Qt::white) : colors.primary);
        p.drawText(QRectF(tile.right() + 6, rect.top(), rect.right() - tile.right() - 11, rect.height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::fromUtf8(row.title));
        y += 21 + 4;
    }
}

void paintChevron(QPainter& p, QPointF centre, bool left, const QColor& color) {
    p.setPen(QPen(color, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const double dx = left ? -1.5 : 1.5;
    const QPointF points[] = {centre + QPointF(-dx, -3), centre + QPointF(dx, 0), centre + QPointF(-dx, 3)};
    p.drawPolyline(points, 3);
}

void paintToolbar(QPainter& p, const SceneColors& colors) {
    const QRectF bar(kSidebarWidth, 0, 276, 40);
    p.fillRect(bar, colors.window);
    p.fillRect(QRectF(bar.left(), bar.bottom() - 1, bar.width(), 1), colors.primaryAt(0.1 * 0.6));
    const QRectF buttons(bar.left() + 10, bar.center().y() - 10, 8 + 8 + 8 + 0.5 + 8 + 8 + 8, 20);
    p.setPen(QPen(colors.primaryAt(0.1), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(buttons.adjusted(0.5, 0.5, -0.5, -0.5), 9.5, 9.5);
    paintChevron(p, QPointF(buttons.left() + 12, buttons.center().y()), true, colors.secondary);
    p.fillRect(QRectF(buttons.center().x() - 0.25, buttons.center().y() - 5, 0.5, 10),
               colors.primaryAt(0.15));
    paintChevron(p, QPointF(buttons.right() - 12, buttons.center().y()), false, colors.secondary);
    p.setFont(MockParts::font(p, 11, QFont::DemiBold));
    p.setPen(colors.primary);
    p.drawText(QRectF(buttons.right() + 10, bar.top(), 180, bar.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Login Items"));
}

quint64 quantised(double value) {
    return static_cast<quint64>(std::lround(std::clamp(value, 0.0, 1.0) * 64));
}

void paintSheetBody(QPainter& p, const QRectF& sheet, const SettingsFrame& f, const SceneColors& colors) {
    MockParts::paintShadow(p, sheet, 10, 14, QPointF(0, 6), 0.25);
    p.setPen(Qt::NoPen);
    p.setBrush(colors.window);
    p.drawRoundedRect(sheet, 10, 10);
    p.translate(sheet.left() + kSheetPadding, sheet.top() + kSheetPadding);
    LoginItemsPane::paintExtensionSheet(p, kSheetWidth - 2 * kSheetPadding, std::nullopt, f.donePressed,
                                        colors);
}

void paintDialogBody(QPainter& p, bool pressed, const SceneColors& colors) {
    MockParts::paintShadow(p, kDialog, 16, 18, QPointF(0, 8), 0.25);
    p.setPen(Qt::NoPen);
    p.setBrush(SceneColors::withAlpha(colors.window, 0.97));
    p.drawRoundedRect(kDialog, 16, 16);

    const double left = kDialog.left() + kDialogPadding;
    const double width = kDialogWidth - 2 * kDialogPadding;
    double y = kDialog.top() + kDialogPadding;
    const QRectF icon(left, y, kDialogIcon, kDialogIcon);
    p.setBrush(colors.primaryAt(0.06));
    p.drawRoundedRect(icon, 8, 8);
    MockParts::paintSymbol(p, icon, QStringLiteral("lock.shield.fill"), 22, Palette::gray());
    y += kDialogIcon + 7;
    p.setFont(MockParts::font(p, 10, QFont::Bold));
    p.setPen(colors.primary);
    p.drawText(QRectF(left, y, width, kDialogTitle), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("\u201cQuorvex\u201d would like to use a new network extension"));
    y += kDialogTitle + 7;
    p.setFont(MockParts::font(p, 8.5));
    p.setPen(colors.secondary);
    p.drawText(QRectF(left, y, width, kDialogMessage), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("You can enable this extension in Login Items & Extensions."));

    p.setFont(MockParts::font(p, 9, QFont::Medium));
    const QRectF ok = dialogOkButton();
    MockParts::fillCapsule(p, ok, colors.accent);
    p.setPen(Qt::white);
    p.drawText(ok, Qt::AlignCenter, QStringLiteral("OK"));
    const QRectF open = SettingsIllustration::openSettingsButtonRect();
    MockParts::fillCapsule(p, open, colors.primaryAt(pressed ? 0.18 : 0.08));
    p.setPen(colors.primary);
    p.drawText(open, Qt::AlignCenter, QStringLiteral("Open System Settings"));
}

} // namespace

SettingsIllustration::SettingsIllustration(Clock& clock, SettingsTargets targets, QWidget* parent)
    : LoopingTimeline(clock, SettingsFrame::kDuration, SettingsFrame::kStillFrame, parent)
    , m_targets(targets) {
    setAccessibleName(QStringLiteral("Allowing the network extension in the system settings"));
}

QRectF SettingsIllustration::openSettingsButtonRect() {
    return dialogOkButton().translated(0, kDialogButton + 5);
}

QRectF SettingsIllustration::infoButtonRect(double scrollOffset) {
    return LoginItemsPane::appInfoButton(kPaneColumnWidth)
        .translated(kPaneColumnLeft, kPaneColumnTop - scrollOffset);
}

QRectF SettingsIllustration::toggleRect() {
    return LoginItemsPane::sheetToggle(kSheetWidth - 2 * kSheetPadding)
        .translated(kSheetOrigin + QPointF(kSheetPadding, kSheetPadding));
}

QRectF SettingsIllustration::doneButtonRect() {
    return LoginItemsPane::sheetDoneButton(kSheetWidth - 2 * kSheetPadding)
        .translated(kSheetOrigin + QPointF(kSheetPadding, kSheetPadding));
}

std::optional<size_t> SettingsIllustration::frameDigest(double t) const {
    const SettingsFrame f = SettingsFrame::at(t, m_targets);
    const auto ring = Pointer::ringProgress(SettingsFrame::kClicks, t);
    return digestOf({f.dialogScale, f.dialogOpacity, double(f.dialogButtonPressed), f.windowOpacity,
                     f.windowScale, f.scrollOffset, f.indicatorY, f.indicatorOpacity, f.highlight,
                     f.sheetScale, f.sheetOpacity, f.dimming, f.toggleOn, double(f.donePressed),
                     f.pointer.x(), f.pointer.y(), f.pointerOpacity,
                     double(Pointer::pressed(SettingsFrame::kClicks, t)), ring.value_or(-1)});
}

QRegion SettingsIllustration::movingRegion(double t) const {
    const auto painted = paintedTime();
    if (!painted)
        return rect();
    const double was = *painted;
    const SettingsFrame a = SettingsFrame::at(was, m_targets);
    const SettingsFrame b = SettingsFrame::at(t, m_targets);
    const auto& clicks = SettingsFrame::kClicks;
    // The window's entrance and the sheet's coming and going (with the dimming over the whole
    // window) repaint the scene. Otherwise each part repaints its own box: the dialog, the sheet
    // while its switch or Done button changes, and the pane while it scrolls or tints its row,
    // each only while the window sits at full size.
    const bool windowChanged = a.windowOpacity != b.windowOpacity || a.windowScale != b.windowScale ||
                               a.sheetScale != b.sheetScale || a.sheetOpacity != b.sheetOpacity ||
                               a.dimming != b.dimming;
    const bool dialogChanged = a.dialogScale != b.dialogScale || a.dialogOpacity != b.dialogOpacity ||
                               a.dialogButtonPressed != b.dialogButtonPressed;
    const bool sheetChanged = a.toggleOn != b.toggleOn || a.donePressed != b.donePressed;
    const bool paneChanged = a.scrollOffset != b.scrollOffset || a.indicatorY != b.indicatorY ||
                             a.indicatorOpacity != b.indicatorOpacity ||
                             quantised(a.highlight) != quantised(b.highlight) || a.highlight != b.highlight;
    QRectF scene;
    if (windowChanged || ((sheetChanged || paneChanged) && b.windowScale != 1)) {
        scene = QRectF(QPointF(0, 0), kScene);
    } else {
        if (paneChanged)
            scene |= kPane;
        if (sheetChanged && (a.sheetOpacity > 0 || b.sheetOpacity > 0))
            scene |= scaledAbout(sheetArea(), QPointF(kSheetOrigin.x() + kSheetWidth / 2, kSheetOrigin.y()),
                                 std::max({1.0, a.sheetScale, b.sheetScale}));
    }
    if (dialogChanged)
        scene |= scaledAbout(kDialogArea, kDialog.center(), std::max({1.0, a.dialogScale, b.dialogScale}));
    scene |= Pointer::changedBounds(clicks, was, a.pointer, a.pointerOpacity, t, b.pointer, b.pointerOpacity);
    if (scene.isEmpty())
        return {};
    return SceneFit::of(kScene, size()).toWidget(scene);
}

void SettingsIllustration::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        for (CachedLayer* layer : {&m_chrome, &m_pane, &m_dimming, &m_sheet, &m_dialog})
            layer->clear();
    LoopingTimeline::changeEvent(event);
}

void SettingsIllustration::paintFrame(QPainter& painter, double t) {
    const SettingsFrame f = SettingsFrame::at(t, m_targets);
    const SceneColors colors = SceneColors::of(palette());
    const qreal dpr = devicePixelRatioF();
    const SceneFit fit = SceneFit::of(kScene, size());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    fit.apply(painter);

    const QRectF scene(QPointF(0, 0), kScene);
    if (f.windowOpacity > 0) {
        painter.save();
        painter.setOpacity(f.windowOpacity);
        MockParts::scaleAbout(painter, scene.center(), f.windowScale);
        // The window's fixed parts, then the pane's column slid under its clip, then what lies over it.
        m_chrome.draw(painter, scene, dpr, 0, [&](QPainter& p) {
            MockParts::paintMiniWindow(p, scene, colors, [&](QPainter& inner) {
                paintSidebar(inner, colors);
                paintToolbar(inner, colors);
            });
        });
        painter.save();
        painter.setClipRect(kPane, Qt::IntersectClip);
        const QRectF column(kPaneColumnLeft, kPaneColumnTop - f.scrollOffset, kPaneColumnWidth,
                            LoginItemsPane::kHeight);
        m_pane.draw(painter, column, dpr, quantised(f.highlight),
                    [&](QPainter& p) { LoginItemsPane::paint(p, kPaneColumnWidth, f.highlight, colors); });
        painter.restore();
        if (f.indicatorOpacity > 0) {
            painter.save();
            painter.setOpacity(painter.opacity() * f.indicatorOpacity);
            MockParts::fillCapsule(painter, QRectF(kPane.right() - 4 - 3, kPane.top() + f.indicatorY, 4, 60),
                                   colors.primaryAt(0.3));
            painter.restore();
        }
        if (f.dimming > 0) {
            // A picture faded rather than a large antialiased fill, which Qt hands to its threads.
            painter.save();
            painter.setOpacity(painter.opacity() * f.dimming);
            m_dimming.draw(painter, scene, dpr, 0, [&](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawRoundedRect(scene, 12, 12);
            });
            painter.restore();
        }
        if (f.sheetOpacity > 0) {
            const QRectF sheet = sheetRect();
            painter.setOpacity(painter.opacity() * f.sheetOpacity);
            // Scaled about its top edge, so it grows downwards from where it hangs.
            MockParts::scaleAbout(painter, QPointF(sheet.center().x(), sheet.top()), f.sheetScale);
            const QRectF area = sheetArea();
            m_sheet.draw(painter, area, dpr, f.donePressed ? 1 : 0, [&](QPainter& p) {
                p.translate(-area.topLeft());
                paintSheetBody(p, sheet, f, colors);
            });
            // The switch slides for a fifth of a second; drawn over the picture, it leaves the
            // sheet's shadow and text alone instead of picturing them again each frame.
            MockParts::paintMiniToggle(painter, toggleRect().topLeft(), f.toggleOn, colors);
        }
        painter.restore();
    }
    if (f.dialogOpacity > 0) {
        painter.save();
        painter.setOpacity(f.dialogOpacity);
        MockParts::scaleAbout(painter, kDialog.center(), f.dialogScale);
        const QRectF area = kDialogArea;
        m_dialog.draw(painter, area, dpr, f.dialogButtonPressed ? 1 : 0, [&](QPainter& p) {
            p.translate(-area.topLeft());
            paintDialogBody(p, f.dialogButtonPressed, colors);
        });
        painter.restore();
    }
    Pointer::paint(painter, f.pointer, SettingsFrame::kClicks, t, f.pointerOpacity);
}

} // namespace quorvex
