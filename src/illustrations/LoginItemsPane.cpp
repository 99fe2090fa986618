#include "illustrations/LoginItemsPane.h"

#include "illustrations/MockParts.h"
#include "ui/Palette.h"

#include <QPainter>
#include <QPainterPath>

#include <optional>
#include <span>

namespace quorvex {
namespace {

constexpr double kPad = 9;
constexpr double kDivider = 1;

struct Row {
    const char* title;
    const char* subtitle; // null: none
    const char* symbol;   // null: the app's mark
    QColor tint;
    std::optional<double> toggle;
    bool info = false;
    bool isApp = false;
};

double rowHeight(const Row& row) {
    return row.subtitle ? 30 : 24;
}

const Row kOpenAtLogin[] = {
    {"Calendar Sync", nullptr, "calendar", Palette::red(), {}},
    {"Clipboard Manager", nullptr, "doc.on.clipboard", Palette::orange(), {}},
    {"Quorvex", nullptr, nullptr, {}, {}},
};
const Row kBackground[] = {
    {"Backup Assistant", "Not running in background", "externaldrive.fill", Palette::teal(), 1.0},
    {"Photo Uploader", "Not running in background", "photo.fill", Palette::pink(), 1.0},
};
const Row kExtensions[] = {
    {"Backup Assistant", "File Provider", "externaldrive.fill", Palette::teal(), {}, true},
    {"Quorvex", "Network Extension", nullptr, {}, {}, true, true},
    {"Photo Editor", "Quick Look", "wand.and.stars", Palette::indigo(), {}, true},
    {"Screen Recorder", "Sharing", "record.circle", Palette::purple(), {}, true},
};

double cardHeight(std::span<const Row> rows) {
    double h = 0;
    for (const Row& row : rows)
        h += rowHeight(row);
    return h + kDivider * static_cast<double>(rows.size() - 1);
}

// Tops of the pane's pieces, in the column's coordinates.
constexpr double kOpenCardTop = 14;
constexpr double kBackgroundHeadingTop = kOpenCardTop + 74 + 14;
constexpr double kBackgroundCardTop = kBackgroundHeadingTop + 14;
constexpr double kExtensionsHeadingTop = kBackgroundCardTop + 61 + 14;
constexpr double kExtensionsTextTop = kExtensionsHeadingTop + 16;
constexpr double kSelectorTop = kExtensionsTextTop + 20 + 6;
constexpr double kExtensionsCardTop = kSelectorTop + 16 + 8;

void paintText(QPainter& p, const QRectF& rect, const QString& text, double size, QFont::Weight weight,
               const QColor& color, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
    p.setFont(MockParts::font(p, size, weight));
    p.setPen(color);
    p.drawText(rect, align | Qt::TextSingleLine, text);
}

void paintPaneRow(QPainter& p, const QRectF& rect, const Row& row, const SceneColors& colors) {
    const QRectF icon(rect.left() + kPad, rect.center().y() - 7.5, 15, 15);
    if (row.symbol) {
        p.setPen(Qt::NoPen);
        p.setBrush(row.tint);
        p.drawRoundedRect(icon, 4, 4);
        MockParts::paintSymbol(p, icon, QString::fromLatin1(row.symbol), 8, Qt::white);
    } else {
        MockParts::paintAppMark(p, icon);
    }
    double right = rect.right() - kPad;
    if (row.info) {
        const QRectF info(right - 11, rect.center().y() - 5.5, 11, 11);
        MockParts::paintSymbol(p, info, QStringLiteral("info.circle"), 11,
                               row.isApp ? colors.accent : colors.secondary);
        right = info.left() - 6;
    }
    if (row.toggle) {
        const QPointF at(right - MockParts::kMiniToggleSize.width(),
                         rect.center().y() - MockParts::kMiniToggleSize.height() / 2);
        MockParts::paintMiniToggle(p, at, *row.toggle, colors);
        right = at.x() - 6;
    }
    const double textLeft = icon.right() + 6;
    const QRectF labels(textLeft, rect.top(), right - textLeft, rect.height());
    if (row.subtitle) {
        paintText(p, QRectF(labels.left(), labels.center().y() - 12, labels.width(), 13),
                  QString::fromUtf8(row.title), 9.5, QFont::Normal, colors.primary,
                  Qt::AlignLeft | Qt::AlignBottom);
        paintText(p, QRectF(labels.left(), labels.center().y() + 1, labels.width(), 11),
                  QString::fromUtf8(row.subtitle), 7.5, QFont::Normal, colors.secondary);
    } else {
        paintText(p, labels, QString::fromUtf8(row.title), 9.5, QFont::Normal, colors.primary,
                  Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void paintCard(QPainter& p, double top, double width, std::span<const Row> rows, double highlight,
               const SceneColors& colors) {
    const QRectF card(0, top, width, cardHeight(rows));
    QPainterPath shape;
    shape.addRoundedRect(card, 8, 8);
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    p.fillPath(shape, colors.primaryAt(0.045));
    double y = top;
    for (size_t i = 0; i < rows.size(); ++i) {
        const QRectF rect(0, y, width, rowHeight(rows[i]));
        if (rows[i].isApp && rows[i].info && highlight > 0)
            p.fillRect(rect, SceneColors::withAlpha(colors.accent, 0.14 * highlight));
        paintPaneRow(p, rect, rows[i], colors);
        y += rect.height();
        if (i + 1 < rows.size()) {
            p.fillRect(QRectF(kPad, y, width - kPad, kDivider), colors.primaryAt(0.1));
            y += kDivider;
        }
    }
    p.restore();
}

void paintSelector(QPainter& p, double top, double width, const SceneColors& colors) {
    const QRectF track(0, top, width, 16);
    MockParts::fillCapsule(p, track, colors.primaryAt(0.06));
    const QRectF left(0, top, width / 2, 16);
    MockParts::fillCapsule(p, left, colors.accent);
    paintText(p, left, QStringLiteral("By App"), 8, QFont::Medium, Qt::white, Qt::AlignCenter);
    paintText(p, QRectF(width / 2, top, width / 2, 16), QStringLiteral("By Category"), 8, QFont::Medium,
              colors.primary, Qt::AlignCenter);
}

} // namespace

void LoginItemsPane::paint(QPainter& painter, double width, double highlight, const SceneColors& colors) {
    paintText(painter, QRectF(0, 0, width, 14), QStringLiteral("Open at Login"), 9, QFont::DemiBold,
              colors.secondary);
    paintCard(painter, kOpenCardTop, width, kOpenAtLogin, 0, colors);
    paintText(painter, QRectF(0, kBackgroundHeadingTop, width, 14), QStringLiteral("Allow in the Background"),
              9, QFont::DemiBold, colors.secondary);
    paintCard(painter, kBackgroundCardTop, width, kBackground, 0, colors);
    paintText(painter, QRectF(0, kExtensionsHeadingTop, width, 16), QStringLiteral("Extensions"), 10,
              QFont::Bold, colors.primary);
    paintText(painter, QRectF(0, kExtensionsTextTop, width, 20),
              QStringLiteral("Extensions add extra functionality to this computer and apps."), 7.5,
              QFont::Normal, colors.secondary);
    paintSelector(painter, kSelectorTop, width, colors);
    paintCard(painter, kExtensionsCardTop, width, kExtensions, highlight, colors);
}

QRectF LoginItemsPane::appExtensionRow(double width) {
    return {0, kExtensionsCardTop + rowHeight(kExtensions[0]) + kDivider, width, rowHeight(kExtensions[1])};
}

QRectF LoginItemsPane::appInfoButton(double width) {
    const QRectF row = appExtensionRow(width);
    return {row.right() - kPad - 11, row.center().y() - 5.5, 11, 11};
}

namespace {

constexpr double kSheetBoxTop = 22 + 10;
constexpr double kSheetBoxHeight = 8 + 23 + 8;
constexpr double kSheetButtonTop = kSheetBoxTop + kSheetBoxHeight + 10;

} // namespace

void LoginItemsPane::paintExtensionSheet(QPainter& painter, double width, std::optional<double> toggleOn,
                                         bool donePressed, const SceneColors& colors) {
    MockParts::paintAppMark(painter, QRectF(0, 0, 22, 22));
    paintText(painter, QRectF(29, 0, width - 29, 22), QStringLiteral("Quorvex"), 10.5, QFont::Bold,
              colors.primary, Qt::AlignLeft | Qt::AlignVCenter);

    const QRectF box(0, kSheetBoxTop, width, kSheetBoxHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colors.primaryAt(0.05));
    painter.drawRoundedRect(box, 6, 6);
    const QRectF toggle = sheetToggle(width);
    const double textWidth = toggle.left() - 8 - (box.left() + 8);
    paintText(painter, QRectF(8, box.top() + 8, textWidth, 13), QStringLiteral("Network Extension"), 9.5,
              QFont::Medium, colors.primary);
    paintText(painter, QRectF(8, box.top() + 8 + 13 + 1, textWidth, 10),
              QStringLiteral("Throttles simulator traffic"), 7.5, QFont::Normal, colors.secondary);
    if (toggleOn)
        MockParts::paintMiniToggle(painter, toggle.topLeft(), *toggleOn, colors);

    const QRectF done = sheetDoneButton(width);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SceneColors::withAlpha(colors.accent, donePressed ? 0.7 : 1.0));
    painter.drawRoundedRect(done, 5, 5);
    paintText(painter, done, QStringLiteral("Done"), 9, QFont::Medium, Qt::white, Qt::AlignCenter);
}

QRectF LoginItemsPane::sheetToggle(double width) {
    const QSizeF size = MockParts::kMiniToggleSize;
    return {width - 8 - size.width(), kSheetBoxTop + (kSheetBoxHeight - size.height()) / 2, size.width(),
            size.height()};
}

QRectF LoginItemsPane::sheetDoneButton(double width) {
    return {width - 50, kSheetButtonTop, 50, 18};
}

} // namespace quorvex
